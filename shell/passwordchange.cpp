#include "passwordchange.h"

#include "hub/hubconnection.h"
#include "menu/mainconnection.h"
#include "utils/plaintext.h"

#include <QDebug>

#include <utility>

PasswordChange::PasswordChange(HubConnection *hub, MainConnection *menu, QObject *parent)
    : QObject(parent)
    , m_hub(hub)
    , m_menu(menu)
{
    if (!hub)
        return;
    connect(hub, &HubConnection::changePasswordResult, this, &PasswordChange::answered);
    // No answer comes over a link that went.
    connect(hub, &HubConnection::disconnected, this, [this] { m_newPassword.clear(); });
}

void PasswordChange::request(const QString &currentPassword, const QString &newPassword, BoxParent boxParent)
{
    if (isPending()) {
        qWarning() << "PasswordChange::request() - a change is already waiting for its answer";
        return;
    }
    if (!m_hub || !m_menu || newPassword.isEmpty())
        return;
    m_newPassword = newPassword;
    m_boxParent = std::move(boxParent);
    m_hub->changePassword(m_menu->username(), currentPassword, newPassword);
}

void PasswordChange::answered(bool success, const QString &message)
{
    if (!isPending())
        return;
    const QString newPassword = std::exchange(m_newPassword, QString());
    QWidget *parent = m_boxParent ? m_boxParent(success) : nullptr;
    if (success) {
        PlainText::information(parent, QStringLiteral("Password Change Successful"),
                               message.isEmpty() ? QStringLiteral("Password changed as requested") : message);
        if (m_menu)
            m_menu->passwordChanged(newPassword);
    } else {
        PlainText::information(parent, QStringLiteral("Password Change Failed"), message);
    }
    emit finished(success);
}
