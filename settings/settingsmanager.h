#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

namespace Menu {
class FileInfoData;
}

class MainConnection;

// Keeps the user's theme, done key and pinned/recent launches in a numbered hidden JSON file in the
// user's server home directory, so they follow the user between workstations. A poll lists the
// home directory, fetches the newest copy when it is newer than ours (or when we have local
// changes to merge), and writes the next numbered copy when anything changed locally. At most one
// step is outstanding; local changes made meanwhile stay dirty for the next round, and nothing
// local is dropped because of a server failure or a damaged file.
class SettingsManager : public QObject
{
    Q_OBJECT

public:
    enum SyncState { Offline = 0, Listing = 1, Fetching = 2, Idle = 3, Sending = 4, Failed = 5 };
    Q_ENUM(SyncState)

    struct LaunchEntry
    {
        QString path;
        QDateTime time;
        bool operator==(const LaunchEntry &other) const { return path == other.path && time == other.time; }
    };
    using LaunchList = QVector<LaunchEntry>;

    struct UserSettings
    {
        QString themeName;
        QKeySequence doneKey;
    };

    static constexpr int MaxRecents = 8;
    static constexpr int MaxPinned = 25;
    static constexpr char FilePrefix[] = ".zudesktop_";

    static SettingsManager *instance();
    // Tests only: forget the instance so the next instance() starts from the stored local values.
    static void resetInstance();

    void setMainConnection(MainConnection *mainConnection);
    void setRecentsKey(const QString &key);
    QString recentsKey() const { return m_recentsKey; }

    UserSettings settings() const { return { m_themeName, m_doneKey }; }
    void setSettings(const UserSettings &settings);
    LaunchList pinnedLaunches() const { return m_pinned; }
    LaunchList recentLaunches() const { return m_recents; }
    void addRecentLaunch(const QString &path);
    void pin(const QString &path, const QDateTime &time);
    void unpin(const QString &path, const QDateTime &time);
    void setPinnedLaunches(const LaunchList &list);
    void removeLaunches(const QStringList &paths);

    SyncState syncState() const { return m_state; }
    quint16 fileVersion() const { return m_fileVersion; }
    int pollInterval() const { return m_pollTimer.interval(); }
    bool isPolling() const { return m_pollTimer.isActive(); }

    static QString fileName(quint16 version);
    // The newest of the versions found on the server, allowing for the numbering having wrapped.
    static quint16 newestVersion(const QList<quint16> &versions);
    // 16-bit serial-number comparison: is `candidate` later than `current`?
    static bool isLater(quint16 candidate, quint16 current);

    // A copy of the settings file fetched from the server: merged into the local settings, and a
    // new copy sent when the server's was damaged or behind. Public so that any bytes can be tried.
    void processFile(quint16 version, const QByteArray &data);

public slots:
    void mainConnectionConnected();
    void mainConnectionDisconnected();
    void startFetchSequence();
    void applicationStateChanged(Qt::ApplicationState state);

signals:
    void recentsUpdated();
    void themeNameUpdated(QString themeName);
    void doneKeyUpdated(QKeySequence doneKey);

private:
    explicit SettingsManager(QObject *parent = nullptr);

    void setState(SyncState state);
    void recentsChanged();
    void sendFile(const QJsonObject &fromServer);
    void importLocalRecents();
    static int jitter(int base);
    void listingArrived(const Menu::FileInfoData *listing, const QString &error);

    QPointer<MainConnection> m_mainConnection;
    bool m_loaded = false;
    QString m_themeName;
    QKeySequence m_doneKey;
    QString m_recentsKey;
    LaunchList m_pinned;
    LaunchList m_recents;
    SyncState m_state = Offline;
    bool m_themeDirty = false;
    bool m_keyDirty = false;
    bool m_recentsDirty = false;
    // Counts local changes, so an upload confirmed after a newer change does not clear it.
    quint64 m_localChanges = 0;
    quint16 m_fileVersion = 0;
    QTimer m_pollTimer;
};

Q_DECLARE_METATYPE(SettingsManager::LaunchList)
