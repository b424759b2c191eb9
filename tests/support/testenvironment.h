#pragma once

#include <QString>
#include <QTemporaryDir>

// Points every per-user and per-machine location of the process (settings, application data) into
// a private temporary folder, so tests never touch the real stores and never see each other.
class TestEnvironment
{
public:
    TestEnvironment();

    QString path() const { return m_dir.path(); }
    QString dataPath() const;
    QString systemConfigPath() const;

    // Makes the machine-wide settings store unwritable, as for a normal user.
    void lockSystemConfig();

private:
    QTemporaryDir m_dir;
};
