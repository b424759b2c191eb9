#pragma once

#include "menu/mainconnection.h"
#include "settings/settingsmanager.h"
#include "utils/busymouse.h"

#include "menu.pb.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

inline QByteArray wire(const Menu::Envelope &envelope)
{
    return QByteArray::fromStdString(envelope.SerializeAsString());
}

// A menu session as the hub link drives it: what it sends is kept, what the server sends is fed in.
// The settings manager follows it, as in the client.
class MenuSessionFixture : public QObject
{
protected:
    void startSession()
    {
        m_mc = std::make_unique<MainConnection>();
        SettingsManager::instance()->setMainConnection(m_mc.get());
        m_sent = std::make_unique<QSignalSpy>(m_mc.get(), &MainConnection::messageReady);
        m_mc->setCredentials("jdoe", "pw");
    }

    void endSession()
    {
        m_sent.reset();
        m_mc.reset();
        for (const QString &reason : BusyMouse::instance()->pendingReasons())
            BusyMouse::instance()->stop(reason);
    }

    // Connected, with what entering that state sent forgotten.
    void online()
    {
        m_mc->setRelease("live", "Live system");
        QCOMPARE(m_mc->state(), MainConnection::Connected);
        m_sent->clear();
    }

    void feed(const Menu::Envelope &envelope)
    {
        const QByteArray bytes = wire(envelope);
        m_mc->processMessage(bytes.constData(), bytes.size());
    }

    QByteArray sent(int index) const { return m_sent->at(index).at(0).toByteArray(); }

    Menu::Envelope parse(int index) const
    {
        Menu::Envelope envelope;
        const QByteArray bytes = sent(index);
        envelope.ParseFromArray(bytes.constData(), bytes.size());
        return envelope;
    }

    std::unique_ptr<MainConnection> m_mc;
    std::unique_ptr<QSignalSpy> m_sent;
};
