#include "testhub.h"

#include "testcertificates.h"

#include <QTest>

#include <google/protobuf/descriptor.h>

TestHub::TestHub(QObject *parent)
    : QTcpServer(parent)
{ }

TestHub::~TestHub()
{
    if (m_peer)
        m_peer->abort();
}

bool TestHub::start()
{
    if (!TestCertificates::instance().isValid()) {
        qWarning() << "TestHub: no certificates:" << TestCertificates::instance().errorText();
        return false;
    }
    return listen(QHostAddress::LocalHost, 0);
}

HostEntry TestHub::hostEntry() const
{
    HostEntry entry;
    entry.name = QStringLiteral("test hub");
    entry.host = QStringLiteral("127.0.0.1");
    entry.port = serverPort();
    return entry;
}

void TestHub::incomingConnection(qintptr descriptor)
{
    if (m_peer)
        m_peer->abort();
    ++m_connectionCount;
    m_decoder.reset();

    const TestCertificates &certificates = TestCertificates::instance();
    auto *socket = new QSslSocket(this);
    m_peer = socket;
    if (!socket->setSocketDescriptor(descriptor)) {
        qWarning() << "TestHub: cannot take the connection:" << socket->errorString();
        socket->deleteLater();
        return;
    }
    if (!m_chain.isEmpty()) {
        socket->setLocalCertificateChain(m_chain);
        socket->setPrivateKey(m_key);
    } else {
        socket->setLocalCertificateChain(m_replaced ? certificates.replacementChain() : certificates.hubChain());
        socket->setPrivateKey(m_replaced ? certificates.replacementKey() : certificates.hubKey());
    }
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    if (!m_reading)
        socket->setReadBufferSize(16 * 1024);
    connect(socket, &QSslSocket::readyRead, this, [this, socket] {
        if (socket == m_peer)
            readPeer();
    });
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    socket->startServerEncryption();
}

void TestHub::setReading(bool reading)
{
    m_reading = reading;
    if (!m_peer)
        return;
    m_peer->setReadBufferSize(reading ? 0 : 16 * 1024);
    if (reading)
        QMetaObject::invokeMethod(this, [this] { if (m_peer) readPeer(); }, Qt::QueuedConnection);
}

void TestHub::readPeer()
{
    if (!m_reading)
        return;
    m_decoder.feed(m_peer->readAll());
    FrameCodec::Frame frame;
    for (;;) {
        const FrameCodec::Result result = m_decoder.next(&frame);
        if (result == FrameCodec::Result::NeedMore)
            return;
        if (result == FrameCodec::Result::Error) {
            qWarning() << "TestHub: bad frame from the client:" << m_decoder.errorText();
            m_peer->abort();
            return;
        }
        m_frames << frame;
        ZuHubProto::Envelope envelope;
        if (frame.type == FrameCodec::EnvelopeFrame
            && envelope.ParseFromArray(frame.payload.constData(), frame.payload.size())) {
            if (envelope.has_hello() && m_helloAck) {
                ZuHubProto::Envelope reply;
                *reply.mutable_hello_ack() = *m_helloAck;
                sendEnvelope(reply);
            }
            if (envelope.has_ping() && m_echoPings)
                sendEnvelope(envelope);
        }
        emit frameReceived();
        if (!m_peer)
            return;
    }
}

bool TestHub::waitForPeer(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_peer && m_peer->isEncrypted(); }, timeoutMs);
}

bool TestHub::waitForPeerGone(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !m_peer || m_peer->state() == QAbstractSocket::UnconnectedState; },
                           timeoutMs);
}

bool TestHub::waitForFrames(int count, int timeoutMs)
{
    return QTest::qWaitFor([this, count] { return m_frames.size() >= count; }, timeoutMs);
}

QList<ZuHubProto::Envelope> TestHub::envelopes(const char *field) const
{
    const auto *descriptor = ZuHubProto::Envelope::descriptor()->FindFieldByName(field);
    Q_ASSERT(descriptor);
    QList<ZuHubProto::Envelope> found;
    for (const FrameCodec::Frame &frame : m_frames) {
        if (frame.type != FrameCodec::EnvelopeFrame)
            continue;
        ZuHubProto::Envelope envelope;
        if (envelope.ParseFromArray(frame.payload.constData(), frame.payload.size())
            && envelope.GetReflection()->HasField(envelope, descriptor))
            found << envelope;
    }
    return found;
}

bool TestHub::waitForEnvelopes(const char *field, int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return envelopes(field).size() >= count; }, timeoutMs);
}

void TestHub::sendRaw(const QByteArray &bytes)
{
    if (!m_peer) {
        qWarning() << "TestHub: no client to send to";
        return;
    }
    m_peer->write(bytes);
    m_peer->flush();
}

void TestHub::sendFrame(quint16 type, const QByteArray &payload)
{
    sendRaw(FrameCodec::encode(type, payload, m_compress).bytes);
}

void TestHub::sendEnvelope(const ZuHubProto::Envelope &envelope)
{
    sendFrame(FrameCodec::EnvelopeFrame, QByteArray::fromStdString(envelope.SerializeAsString()));
}

void TestHub::closePeer()
{
    if (m_peer)
        m_peer->disconnectFromHost();
}
