#include "sessionreplay.h"

#include "framecodec.h"
#include "latin1.h"
#include "hostentry.h"
#include "sessionrecordreader.h"

#include "menu.pb.h"
#include "uidlg.pb.h"
#include "zuhub.pb.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFileInfo>

#include <utility>

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
    : HubTransport(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SessionReplay::deliverNext);
}

SessionReplay::~SessionReplay() = default;

void SessionReplay::reset()
{
    m_file.close();
    m_memory.clear();
    m_entries.clear();
    m_expected.clear();
    m_streams.clear();
    m_firstUnsettled = 0;
    m_hubCount = 0;
    m_errorText.clear();
    m_warningText.clear();
}

bool SessionReplay::load(const QString &path)
{
    reset();
    const QFileInfo info(path);
    if (info.exists() && info.size() > MaxFileBytes) {
        m_errorText = QStringLiteral("The recording %1 is larger than %2 bytes").arg(path).arg(MaxFileBytes);
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_errorText = QStringLiteral("Cannot open the recording %1: %2").arg(path, m_file.errorString());
        return false;
    }
    SessionRecordReader reader;
    if (!reader.open(&m_file)) {
        m_errorText = reader.errorText();
        m_file.close();
        return false;
    }
    // Recordings made before typed terminal bytes were counted hold them as typed.
    const QStringList header = reader.headerText().split(QLatin1Char('\n'));
    for (const QString &line : header) {
        if (line.startsWith(QLatin1String("redacted=")))
            m_redactor.setKeepTerminalKeys(!line.contains(QLatin1String(SessionRedactor::TerminalKeysWord)));
    }
    SessionRecord record;
    SessionRecordReader::Result result;
    while ((result = reader.next(&record)) == SessionRecordReader::Result::Record)
        addEntry(record, m_file.pos() - record.data.size());
    if (result == SessionRecordReader::Result::Error) {
        if (m_entries.isEmpty()) {
            m_errorText = reader.errorText();
            m_file.close();
            return false;
        }
        m_warningText = QStringLiteral("%1; the %2 messages before it are replayed")
                            .arg(reader.errorText())
                            .arg(m_entries.size());
        qWarning().noquote() << "Replay:" << m_warningText;
    }
    return finishLoading();
}

bool SessionReplay::loadRecords(const QVector<SessionRecord> &records, bool terminalKeysCounted)
{
    reset();
    m_redactor.setKeepTerminalKeys(!terminalKeysCounted);
    for (const SessionRecord &record : records) {
        addEntry(record, m_memory.size());
        m_memory.append(record.data);
    }
    return finishLoading();
}

void SessionReplay::addEntry(const SessionRecord &record, qint64 offset)
{
    Entry entry;
    entry.timeUs = record.timeUs;
    entry.offset = offset;
    entry.size = record.data.size();
    entry.direction = record.direction;
    entry.frameType = record.frameType;
    entry.channel = record.channel;
    const int index = m_entries.size();
    m_entries.append(entry);
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
            m_expected.append({ index, digestOf(key) });
        }
    }
}

bool SessionReplay::finishLoading()
{
    if (m_hubCount == 0) {
        m_errorText = QStringLiteral("The recording holds no message from the hub");
        return false;
    }
    return true;
}

QByteArray SessionReplay::digestOf(const QByteArray &comparable)
{
    return QCryptographicHash::hash(comparable, QCryptographicHash::Sha256);
}

QByteArray SessionReplay::dataOf(int index)
{
    const Entry &entry = m_entries.at(index);
    if (!m_file.isOpen())
        return m_memory.value(int(entry.offset));
    QByteArray data;
    if (m_file.seek(entry.offset))
        data = m_file.read(entry.size);
    if (data.size() != entry.size) {
        fail(QStringLiteral("the recording cannot be read at byte %1: %2").arg(entry.offset).arg(m_file.errorString()));
        return QByteArray();
    }
    return data;
}

SessionRecord SessionReplay::recordAt(int index)
{
    const Entry &entry = m_entries.at(index);
    SessionRecord record;
    record.timeUs = entry.timeUs;
    record.direction = entry.direction;
    record.frameType = entry.frameType;
    record.channel = entry.channel;
    record.data = dataOf(index);
    return record;
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

void SessionReplay::openConnection(const HostEntry &)
{
    // As a socket would, the link hears of it from the event loop.
    m_opening = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!std::exchange(m_opening, false))
                return; // closed before it opened
            if (m_state != State::Idle) {
                emit closed(tr("This replay has ended (%1 of %2 hub messages delivered); start the client again "
                               "to replay the recording once more.")
                                .arg(m_delivered)
                                .arg(m_hubCount));
                return;
            }
            qInfo() << "HUB: replaying a recorded session, no network";
            m_sinceDelivery.start();
            setState(m_startPaused ? State::Paused : State::Running);
            emit tcpConnected();
            emit encrypted();
            schedule();
        },
        Qt::QueuedConnection);
}

void SessionReplay::close()
{
    m_opening = false;
    if (!isLinkOpen())
        return;
    m_timer.stop();
    if (nextHubIndex() < 0) {
        setState(State::Finished);
        return;
    }
    qWarning().noquote() << QStringLiteral("Replay stopped: the link was closed with %1 of %2 hub messages delivered")
                                .arg(m_delivered)
                                .arg(m_hubCount);
    setState(State::Failed);
}

void SessionReplay::fail(const QString &why)
{
    if (!isLinkOpen())
        return;
    qWarning().noquote() << "Replay stopped:" << why;
    m_timer.stop();
    setState(State::Failed);
    emit closed(tr("The replay stopped: %1").arg(why));
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

void SessionReplay::readingReleased()
{
    if (m_state == State::Running)
        QMetaObject::invokeMethod(this, &SessionReplay::schedule, Qt::QueuedConnection);
}

int SessionReplay::nextHubIndex() const
{
    for (int i = m_cursor; i < m_entries.size(); ++i) {
        if (m_entries.at(i).direction == SessionRecord::Direction::FromHub)
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
        = m_entries.at(hub).timeUs > m_lastDeliveredUs ? m_entries.at(hub).timeUs - m_lastDeliveredUs : 0;
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
    if (!isLinkOpen() || m_delivering || readingHeld())
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
    const SessionRecord record = recordAt(hub);
    if (!isLinkOpen())
        return; // the file could not be read
    m_lastDeliveredUs = record.timeUs;
    m_sinceDelivery.restart();
    ++m_delivered;
    m_redactor.kept(SessionRecord::Direction::FromHub, record.frameType, record.channel, record.data);
    FrameCodec::Frame frame;
    frame.type = record.frameType;
    frame.payload = record.frameType == FrameCodec::ChannelFrame
        ? FrameCodec::channelPayload(record.channel, record.data)
        : record.data;
    frame.length = quint32(frame.payload.size() + FrameCodec::TypeWordSize);
    // The handler may pause the replay or close the link.
    m_delivering = true;
    deliver(frame);
    m_delivering = false;
    emit progressChanged();
    if (m_state == State::Running)
        QMetaObject::invokeMethod(this, &SessionReplay::schedule, Qt::QueuedConnection);
    else if (m_state == State::Paused && nextHubIndex() < 0)
        setState(State::Finished);
}

void SessionReplay::writeFrame(quint16 frameType, const QByteArray &payload, const QByteArray &redactedPayload)
{
    if (!isLinkOpen())
        return;
    quint16 channel = 0;
    const QByteArray sentData = SessionRecord::frameMessage(frameType, payload, &channel);
    const QByteArray senderForm = redactedPayload.isNull()
        ? QByteArray()
        : SessionRecord::frameMessage(frameType, redactedPayload, &channel);
    const QByteArray data
        = m_redactor.kept(SessionRecord::Direction::FromClient, frameType, channel, sentData, senderForm);
    const QByteArray key = comparable(frameType, data);
    if (key.isEmpty())
        return;
    const QByteArray digest = digestOf(key);
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
        if (expected.digest == digest) {
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
    const QString recordedText = first ? SessionRecord::describe(recordAt(first->index), SessionRecord::DescribedBytes)
                                       : QStringLiteral("(nothing more on this stream)");
    reportDifference(QStringLiteral("Replay difference on %1:\n  recorded: %2\n  replayed: %3")
                         .arg(SessionRecord::kindText(frameType, channel), recordedText,
                              SessionRecord::describe(sent, SessionRecord::DescribedBytes)));
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
