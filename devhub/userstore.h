#pragma once

#include "devhubconfig.h"

#include <QHash>
#include <QString>
#include <QVector>

// The users' state that changes while the hub runs: passwords (after a change), the must-change
// flag and each user's scheduled processes. Seeded from the configuration; kept in memory only, so
// a restart brings the configured values back. Shared by all sessions, so two logins of one user
// see the same list.
class UserStore
{
public:
    enum class AuthResult {
        Success,
        Failed, // unknown user or wrong password: the same answer for both
        NotAllowed,
        NeedPasswordChange,
    };

    struct ChangeResult
    {
        bool success = false;
        QString message;
    };

    static constexpr int MinPasswordLength = 4;

    explicit UserStore(const DevHubConfig &config);

    AuthResult authenticate(const QString &name, const QString &password) const;
    ChangeResult changePassword(const QString &name, const QString &oldPassword, const QString &newPassword);
    bool mustChangePassword(const QString &name) const;

    QVector<DevHubConfig::ScheduledProcess> scheduledProcesses(const QString &name) const;
    bool removeScheduledProcess(const QString &name, int number);

private:
    struct State
    {
        QString password;
        bool mustChange = false;
        bool disabled = false;
        QVector<DevHubConfig::ScheduledProcess> processes;
    };

    QHash<QString, State> m_users;
};
