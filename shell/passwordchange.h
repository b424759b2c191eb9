#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class HubConnection;
class MainConnection;
class QWidget;

// A change of the user's password, the same at login (when the server requires one) and from the
// settings dialog: asked of the hub, its answer told in a box, and on success the menu session
// given the new password. One change at a time; an answer nobody asked for is ignored.
class PasswordChange : public QObject
{
    Q_OBJECT

public:
    // Where the box with the answer opens, chosen when the answer comes (a window may have gone).
    using BoxParent = std::function<QWidget *(bool success)>;

    PasswordChange(HubConnection *hub, MainConnection *menu, QObject *parent = nullptr);

    bool isPending() const { return !m_newPassword.isEmpty(); }

public slots:
    void request(const QString &currentPassword, const QString &newPassword, BoxParent boxParent);
    void answered(bool success, const QString &message);

signals:
    void finished(bool success);

private:
    QPointer<HubConnection> m_hub;
    QPointer<MainConnection> m_menu;
    QString m_newPassword;
    BoxParent m_boxParent;
};
