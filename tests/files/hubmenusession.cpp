#include "hubmenusession.h"

#include <QDebug>
#include <QSignalSpy>
#include <QTest>

HubMenuSession::HubMenuSession()
{
    QObject::connect(&m_session, &MainConnection::messageReady, &m_link, &HubTestClient::sendMenuBytes);
    QObject::connect(&m_link, &HubTestClient::menuBytesReceived, &m_session, [this](const QByteArray &bytes) {
        m_session.processMessage(bytes.constData(), bytes.size());
    });
}

bool HubMenuSession::start()
{
    if (!m_hub.start() || !m_link.connectTo(m_hub.port())) {
        qWarning() << "HubMenuSession: the hub did not start or accept the link";
        return false;
    }
    const ZuHubProto::HelloAck ack = m_link.hello();
    QSignalSpy releases(&m_session, &MainConnection::releaseListRcvd);
    m_session.setClassicListenPort(quint16(ack.classic_listen_port()));
    m_session.setAddresses(QStringLiteral("127.0.0.1"), QString::fromStdString(ack.client_public_address()));
    m_session.setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    m_session.startMenuConnection();
    if (!m_link.openMenu()) {
        qWarning() << "HubMenuSession: the menu link did not open";
        return false;
    }
    m_session.menuConnected();
    if (!releases.wait(HubTestClient::WaitMs)) {
        qWarning() << "HubMenuSession: no release list";
        return false;
    }
    const auto list = releases.first().first().value<MainConnection::ReleaseList>();
    if (list.isEmpty())
        return false;
    m_session.setRelease(list.first().key, list.first().title);
    // The printer list is the last thing a login brings.
    return QTest::qWaitFor([this] { return !m_session.defaultPrinter().isEmpty(); }, HubTestClient::WaitMs);
}
