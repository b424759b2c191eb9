#include "apptranceiver.h"

#include "latin1.h"

#include <QDebug>
#include <QTimer>

#include "uidlg.pb.h"

AppTranceiver::AppTranceiver(QObject *parent)
    : QObject(parent)
    , m_handshakeTimer(new QTimer(this))
{
    qRegisterMetaType<AppTranceiver::AppType>();
    m_handshakeTimer->setSingleShot(true);
    m_handshakeTimer->setInterval(HandshakeTimeoutMs);
    connect(m_handshakeTimer, &QTimer::timeout, this, &AppTranceiver::handshakeTimeout);
    m_handshakeTimer->start();
}

ushort AppTranceiver::channelId() const
{
    return 0;
}

void AppTranceiver::handshakeTimeout()
{
    qCritical() << "AppTranceiver::processIncomingMessage() - handshake timeout.";
    setAppType(Invalid);
}

void AppTranceiver::setAppType(AppType type)
{
    if (type == m_appType)
        return;
    m_appType = type;
    emit appTypeChanged(type);
}

void AppTranceiver::processIncomingMessage(const char *data, int dataLength)
{
    m_handshakeTimer->stop();
    if (m_appType != Pending) {
        emit rawMessageRcvd(data, dataLength);
        return;
    }

    // Terminal and dictionary envelopes carry their handshake at the same field number, with the
    // same inner fields, so the classic envelope reads all three.
    Pb::UIEnvelope envelope;
    if (!envelope.ParseFromArray(data, dataLength)) {
        qCritical() << "AppTranceiver::processIncomingMessage() - Unable to parse first message.";
        setAppType(Invalid);
        return;
    }
    if (!envelope.has_handshake()) {
        qCritical() << "AppTranceiver::processIncomingMessage() - First message not 'handshake'.";
        setAppType(Invalid);
        return;
    }
    const Pb::Handshake &handshake = envelope.handshake();
    m_appVersion = Latin1::toQString(handshake.ui_version());
    m_menuOpt = handshake.is_menuopt();
    qInfo() << "AppTranceiver::processIncomingMessage() - App version =" << m_appVersion
            << " is menuOpt:" << m_menuOpt;
    switch (handshake.type()) {
    case 1:
        setAppType(Terminal);
        break;
    case 2:
        setAppType(DictEdit);
        break;
    default:
        setAppType(Classic);
        break;
    }
}
