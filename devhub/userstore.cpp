#include "userstore.h"

UserStore::UserStore(const DevHubConfig &config)
{
    for (const DevHubConfig::User &user : config.users()) {
        State state;
        state.password = user.password;
        state.mustChange = user.mustChangePassword;
        state.disabled = user.disabled;
        state.processes = config.scheduledProcesses();
        m_users.insert(user.name, state);
    }
}

UserStore::AuthResult UserStore::authenticate(const QString &name, const QString &password) const
{
    const auto it = m_users.constFind(name);
    if (it == m_users.constEnd() || it->password != password)
        return AuthResult::Failed;
    if (it->disabled)
        return AuthResult::NotAllowed;
    if (it->mustChange)
        return AuthResult::NeedPasswordChange;
    return AuthResult::Success;
}

UserStore::ChangeResult UserStore::changePassword(const QString &name, const QString &oldPassword,
                                                  const QString &newPassword)
{
    const auto it = m_users.find(name);
    if (it == m_users.end() || it->password != oldPassword || it->disabled)
        return { false, QStringLiteral("The user name or the current password is not correct.") };
    if (newPassword.size() < MinPasswordLength)
        return {
            false, QStringLiteral("The new password must have at least %1 characters.").arg(MinPasswordLength)
        };
    if (newPassword == oldPassword)
        return { false, QStringLiteral("The new password must differ from the current one.") };
    it->password = newPassword;
    it->mustChange = false;
    return { true, QStringLiteral("Your password has been changed.") };
}

bool UserStore::mustChangePassword(const QString &name) const
{
    return m_users.value(name).mustChange;
}

QVector<DevHubConfig::ScheduledProcess> UserStore::scheduledProcesses(const QString &name) const
{
    return m_users.value(name).processes;
}

bool UserStore::removeScheduledProcess(const QString &name, int number)
{
    const auto it = m_users.find(name);
    if (it == m_users.end())
        return false;
    for (int i = 0; i < it->processes.size(); ++i) {
        if (it->processes.at(i).number == number) {
            it->processes.remove(i);
            return true;
        }
    }
    return false;
}
