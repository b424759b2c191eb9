#pragma once

#include <QUuid>

class QSettings;

// The workstation and user UUIDs reported in the hub hello. Both persist between runs; the
// workstation one only where the machine-wide store can be written.
class ClientIdentity
{
public:
    // Reads or creates the UUIDs in the default per-machine and per-user stores.
    ClientIdentity();
    ClientIdentity(QSettings &machineStore, QSettings &userStore);

    QUuid systemUuid() const { return m_systemUuid; }
    QUuid userUuid() const { return m_userUuid; }

private:
    void load(QSettings &machineStore, QSettings &userStore);

    QUuid m_systemUuid;
    QUuid m_userUuid;
};
