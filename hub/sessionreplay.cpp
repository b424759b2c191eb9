#include "sessionreplay.h"

#include "framecodec.h"
#include "latin1.h"
#include "sessionrecordreader.h"

#include "menu.pb.h"
#include "uidlg.pb.h"
#include "zuhub.pb.h"

#include <QDebug>
#include <QFileInfo>

namespace {

QByteArray serialized(const google::protobuf::Message &message)
{
    return QByteArray::fromStdString(message.SerializeAsString());
}

QByteArray comparableHubEnvelope(const QByteArray &data)
{
    ZuHubProto::Envelope envelope;
    if (!envelope.ParseFromArray(data.constData(), data.size()))
        return data;
    envelope.clear_ping();
    if (envelope.ByteSizeLong() == 0)
        return QByteArray(); // a ping alone: timing, not behaviour
    // Platform, build and machine identity differ from run to run; that a hello is sent does not.
    if (envelope.has_hello())
        envelope.mutable_hello()->Clear();
    return serialized(envelope);
}

QByteArray comparableMenuEnvelope(const QByteArray &data)
{
    Menu::Envelope envelope;
    if (!envelope.ParseFromArray(data.constData(), data.size()))
        return data;
    if (envelope.has_handshake())
        envelope.mutable_handshake()->Clear();
    // Request numbers are process-wide and count timer-driven requests too.
    const auto *reflection = envelope.GetReflection();
    std::vector<const google::protobuf::FieldDescriptor *> fields;
    reflection->ListFields(envelope, &fields);
    for (const google::protobuf::FieldDescriptor *field : fields) {
        if (field->cpp_type() != google::protobuf::FieldDescriptor::CPPTYPE_MESSAGE || field->is_repeated())
            continue;
        google::protobuf::Message *sub = reflection->MutableMessage(&envelope, field);
        if (const auto *id = sub->GetDescriptor()->FindFieldByName("request_id"))
            sub->GetReflection()->ClearField(sub, id);
    }
    return serialized(envelope);
}

// Every application protocol's handshake is field 1001 with the build version in its field 1.
QByteArray comparableChannelData(const QByteArray &data)
{
    Pb::UIEnvelope envelope;
    if (!envelope.ParseFromArray(data.constData(), data.size()) || !envelope.has_handshake())
        return data;
    envelope.mutable_handshake()->clear_ui_version();
    return serialized(envelope);
}

// The user name and release of the recorded login, where this client message holds them.
void noteLogin(const SessionRecord &record, QString *username, QString *release)
{
    Menu::Envelope envelope;
    if (record.frameType != FrameCodec::MenuFrame
        || !envelope.ParseFromArray(record.data.constData(), record.data.size()))
        return;
    if (envelope.has_authenticate() && username->isEmpty())
        *username = Latin1::toQString(envelope.authenticate().username());
    if (envelope.has_setrelease() && release->isEmpty())
        *release = Latin1::toQString(envelope.setrelease().release());
}

} // namespace

SessionReplay::SessionReplay(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SessionReplay::deliverNext);
}

bool SessionReplay::load(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && info.size() > MaxFileBytes) {
        m_errorText = QStringLiteral("The recording %1 is larger than %2 bytes").arg(path).arg(MaxFileBytes);
        return false;
    }
    SessionRecordReader reader;
    if (!reader.open(path)) {
        m_errorText = reader.errorText();
        return false;
    }
    QVector<SessionRecord> records;
    SessionRecord record;
    SessionRecordReader::Result result;
    while ((result = reader.next(&record)) == SessionRecordReader::Result::Record)
        records.append(record);
    if (result == SessionRecordReader::Result::Error) {
        if (records.isEmpty()) {
            m_errorText = reader.errorText();
            return false;
        }
        m_warningText = QStringLiteral("%1; the %2 messages before it are replayed")
                            .arg(reader.errorText())
                            .arg(records.size());
        qWarning().noquote() << "Replay:" << m_warningText;
    }
    return loadRecords(records);
}

bool SessionReplay::loadRecords(const QVector<SessionRecord> &records)
{
    m_records = records;
    m_expected.clear();
    m_streams.clear();
    m_firstUnsettled = 0;
    m_hubCount = 0;
    for (int i = 0; i < m_records.size(); ++i) {
        const SessionRecord &record = m_records.at(i);
        if (record.direction == SessionRecord::Direction::Note) {
            const QString note = QString::fromUtf8(record.data);
            if (m_recordedHost.isEmpty() && note.startsWith(QLatin1String(SessionRecord::ConnectingNote)))
                m_recordedHost = note.mid(int(qstrlen(SessionRecord::ConnectingNote)));
        } else if (record.direction == SessionRecord::Direction::FromHub) {
            ++m_hubCount;
        } else if (record.direction == SessionRecord::Direction::FromClient) {
            noteLogin(record, &m_recordedUsername, &m_recordedRelease);
            const QByteArray key = comparable(record.frameType, record.data);
            if (!key.isEmpty()) {
                m_streams[streamKey(record.frameType, record.channel)].expected.append(m_expected.size());
                m_expected.append({ i, key });
            }
        }
    }
    if (m_hubCount == 0) {
        m_errorText = QStringLiteral("The recording holds no message from the hub");
        return false;
    }
    return true;
}

QByteArray SessionReplay::comparable(quint16 frameType, const QByteArray &data)
{
    switch (frameType) {
    case FrameCodec::EnvelopeFrame:
        return comparableHubEnvelope(data);
    case FrameCodec::MenuFrame:
        return comparableMenuEnvelope(data);
    default:
        return comparableChannelData(data);
    }
}

void SessionReplay::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    if (state == State::Finished)
        qInfo().noquote() << QStringLiteral("Replay finished: %1 of %2 hub messages delivered, %3 client "
                                            "messages as recorded, %4 differences")
                                 .arg(m_delivered)
                                 .arg(m_hubCount)
                                 .arg(m_matched)
                                 .arg(m_differences);
    emit stateChanged(state);
}

void SessionReplay::start()
{
    if (m_state != State::Idle)
        return;
    m_sinceDelivery.start();
    setState(m_startPaused ? State::Paused : State::Running);
    schedule();
}

void SessionReplay::abort(const QString &why)
{
    if (!isLinkOpen())
        return;
    qWarning().noquote() << "Replay stopped:" << why;
    m_timer.stop();
    setState(State::Failed);
}

void SessionReplay::pause()
{
    if (m_state == State::Running) {
        m_timer.stop();
        setState(State::Paused);
    }
}

void SessionReplay::resume()
{
    if (m_state != State::Paused)
        return;
    m_sinceDelivery.restart();
    setState(State::Running);
    schedule();
}

void SessionReplay::runToEnd()
{
    m_speed = 0;
    if (m_state == State::Paused)
        resume();
    else
        schedule();
}

void SessionReplay::next()
{
    if (m_state != State::Paused)
        return;
    // Whatever the client has not sent by now is not waited for.
    const int hub = nextHubIndex();
    while (Expected *pending = pendingBefore(hub))
        pending->released = true;
    deliverNext();
}

int SessionReplay::nextHubIndex() const
{
    for (int i = m_cursor; i < m_records.size(); ++i) {
        if (m_records.at(i).direction == SessionRecord::Direction::FromHub)
            return i;
    }
    return -1;
}

SessionReplay::Expected *SessionReplay::pendingBefore(int index)
{
    while (m_firstUnsettled < m_expected.size()
           && (m_expected.at(m_firstUnsettled).matched || m_expected.at(m_firstUnsettled).released))
        ++m_firstUnsettled;
    if (m_firstUnsettled >= m_expected.size())
        return nullptr;
    Expected &expected = m_expected[m_firstUnsettled];
    return index < 0 || expected.index < index ? &expected : nullptr;
}

void SessionReplay::schedule()
{
    if (m_state != State::Running)
        return;
    const int hub = nextHubIndex();
    if (hub < 0) {
        m_timer.stop();
        setState(State::Finished);
        return;
    }
    const quint64 gapUs
        = m_records.at(hub).timeUs > m_lastDeliveredUs ? m_records.at(hub).timeUs - m_lastDeliveredUs : 0;
    qint64 waitMs = m_speed > 0 ? qint64(double(gapUs) / 1000.0 / m_speed) - m_sinceDelivery.elapsed() : 0;
    if (pendingBefore(hub)) {
        if (!m_waitingForClient.isValid())
            m_waitingForClient.start();
        const int allowance = m_speed > 0 ? TimedClientWaitMs : FastClientWaitMs;
        const qint64 left = allowance - m_waitingForClient.elapsed();
        if (left > 0) {
            m_timer.start(int(qBound<qint64>(0, qMax(waitMs, left), MaxWaitMs)));
            return;
        }
        int released = 0;
        while (Expected *pending = pendingBefore(hub)) {
            pending->released = true;
            ++released;
        }
        qDebug() << "Replay: the client did not send" << released << "recorded messages; going on";
    }
    m_timer.start(int(qBound<qint64>(0, waitMs, MaxWaitMs)));
}

void SessionReplay::deliverNext()
{
    if (!isLinkOpen() || m_state == State::Finished || m_delivering)
        return;
    const int hub = nextHubIndex();
    if (hub < 0) {
        setState(State::Finished);
        return;
    }
    if (m_state == State::Running && pendingBefore(hub)) {
        schedule();
        return;
    }
    m_waitingForClient.invalidate();
    m_cursor = hub + 1;
    const SessionRecord &record = m_records.at(hub);
    m_lastDeliveredUs = record.timeUs;
    m_sinceDelivery.restart();
    ++m_delivered;
    const QByteArray payload = record.frameType == FrameCodec::ChannelFrame
        ? FrameCodec::channelPayload(record.channel, record.data)
        : record.data;
    // The handler may run a nested event loop or pause the replay; copies keep this safe.
    const quint16 frameType = record.frameType;
    m_delivering = true;
    emit frameReady(frameType, payload);
    m_delivering = false;
    emit progressChanged();
    if (m_state == State::Running)
        QMetaObject::invokeMethod(this, &SessionReplay::schedule, Qt::QueuedConnection);
    else if (m_state == State::Paused && nextHubIndex() < 0)
        setState(State::Finished);
}

void SessionReplay::clientFrame(quint16 frameType, const QByteArray &payload)
{
    if (!isLinkOpen())
        return;
    quint16 channel = 0;
    QByteArray data = SessionRecord::frameMessage(frameType, payload, &channel);
    data = SessionRecord::redacted(SessionRecord::Direction::FromClient, frameType, data);
    const QByteArray key = comparable(frameType, data);
    if (key.isEmpty())
        return;
    Expected *first = nullptr;
    int seen = 0;
    Stream &stream = m_streams[streamKey(frameType, channel)];
    while (stream.firstUnmatched < stream.expected.size()
           && m_expected.at(stream.expected.at(stream.firstUnmatched)).matched)
        ++stream.firstUnmatched;
    for (int i = stream.firstUnmatched; i < stream.expected.size(); ++i) {
        Expected &expected = m_expected[stream.expected.at(i)];
        if (expected.matched)
            continue;
        if (!first)
            first = &expected;
        if (expected.comparable == key) {
            expected.matched = true;
            ++m_matched;
            emit progressChanged();
            if (m_state == State::Running)
                QMetaObject::invokeMethod(this, &SessionReplay::schedule, Qt::QueuedConnection);
            return;
        }
        if (++seen >= CompareWindow)
            break;
    }
    SessionRecord sent;
    sent.direction = SessionRecord::Direction::FromClient;
    sent.frameType = frameType;
    sent.channel = channel;
    sent.data = data;
    const QString recordedText = first ? SessionRecord::describe(m_records.at(first->index))
                                       : QStringLiteral("(nothing more on this stream)");
    reportDifference(
        QStringLiteral("Replay difference on %1:\n  recorded: %2\n  replayed: %3")
            .arg(SessionRecord::kindText(frameType, channel), recordedText, SessionRecord::describe(sent)));
}

void SessionReplay::reportDifference(const QString &text)
{
    ++m_differences;
    qWarning().noquote() << text;
    if (m_firstDifference.isEmpty()) {
        m_firstDifference = text;
        emit differenceFound(text);
    }
    emit progressChanged();
}
