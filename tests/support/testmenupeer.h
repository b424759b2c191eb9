#pragma once

#include "menu.pb.h"

#include <QObject>
#include <QStringList>

class TestHub;

// Plays the hub's menu link and the menu server behind a TestHub, well enough for login flows:
// menu link control, authentication, releases, the menu tree and password changes. What it answers
// is set per test; every menu message the client sends is recorded by field name.
class TestMenuPeer : public QObject
{
    Q_OBJECT

public:
    explicit TestMenuPeer(TestHub *hub, QObject *parent = nullptr);

    // Authentication answer: SUCCESS by default.
    Menu::AuthStatus authStatus;
    // Sent for ReleaseDataRequest.
    QList<QPair<QString, QString>> releases { { "live", "Live system" } };
    // Sent for MenuDataRequest.
    Menu::MenuData menu;
    // Answer to a PasswordChange on the hub link.
    bool passwordChangeSucceeds = true;
    QString passwordChangeMessage;

    QStringList received; // menu envelope field names, in order
    QStringList menuLinkRequests; // "on"/"off" for each MenuConnectionControl
    QString lastRelease; // from SetRelease
    QString lastLaunch; // from LaunchItem
    QStringList passwordChanges; // "user old new"

private:
    void frameReceived();
    void sendMenu(const Menu::Envelope &envelope);

    TestHub *m_hub;
};
