#include "settingsmanager.h"

#include "menu/mainconnection.h"

#include <QDebug>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QRandomGenerator>
#include <QSettings>

#include "menu.pb.h"

namespace {


const QString ThemeMember = QStringLiteral("themeName");
const QString KeyMapperMember = QStringLiteral("keyMapper");
const QString DoneMember = QStringLiteral("done");
const QString PinnedMember = QStringLiteral("pinnedLaunches");
const QString RecentMember = QStringLiteral("recentLaunches");

constexpr int ActivePollMs = 10000;
constexpr int InactivePollMs = 45000;
constexpr int FirstPollBaseMs = 9000;
constexpr int FirstPollJitterMs = 2000;
constexpr int SuffixLength = 4;

QJsonArray toJson(const SettingsManager::LaunchList &list)
{
    QJsonArray array;
    for (const auto &entry : list)
        array.append(QJsonObject { { QStringLiteral("path"), entry.path },
                                   { QStringLiteral("time"), entry.time.toString(Qt::ISODate) } });
    return array;
}

// A list is taken only when every entry is well formed; anything else is reported as damaged.
// Entries beyond `limit` are dropped, as local additions beyond it are.
bool fromJson(const QJsonValue &value, int limit, SettingsManager::LaunchList *list)
{
    list->clear();
    if (value.isUndefined())
        return true; // no list stored for this key yet
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &item : array) {
        const QJsonObject object = item.toObject();
        const QJsonValue path = object.value(QStringLiteral("path"));
        const QJsonValue time = object.value(QStringLiteral("time"));
        if (!item.isObject() || !path.isString() || !time.isString())
            return false;
        if (list->size() < limit)
            list->append({ path.toString(), QDateTime::fromString(time.toString(), Qt::ISODate) });
    }
    if (array.size() > limit)
        qWarning() << "SettingsManager: settings file lists" << array.size() << "launches; keeping the first"
                   << limit;
    return true;
}

void removePath(SettingsManager::LaunchList &list, const QString &path)
{
    list.erase(
        std::remove_if(list.begin(), list.end(),
                       [&path](const SettingsManager::LaunchEntry &entry) { return entry.path == path; }),
        list.end());
}

void trimRecents(SettingsManager::LaunchList &list)
{
    while (list.size() > SettingsManager::MaxRecents)
        list.removeLast();
}

} // namespace

namespace {
SettingsManager *s_instance = nullptr;
}

SettingsManager *SettingsManager::instance()
{
    if (!s_instance)
        s_instance = new SettingsManager;
    return s_instance;
}

void SettingsManager::resetInstance()
{
    delete s_instance;
    s_instance = nullptr;
}

SettingsManager::SettingsManager(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<SettingsManager::LaunchList>();
    QSettings local;
    m_themeName = local.value(QStringLiteral("settings/themeName")).toString();
    const QString done = local.value(QStringLiteral("KeyMapper/done")).toString();
    m_doneKey = done.isEmpty() ? QKeySequence(Qt::Key_F9)
                               : QKeySequence::fromString(done, QKeySequence::PortableText);

    m_pollTimer.setInterval(FirstPollBaseMs
                            + int(QRandomGenerator::global()->generate() % FirstPollJitterMs));
    connect(&m_pollTimer, &QTimer::timeout, this, &SettingsManager::startFetchSequence);
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::applicationStateChanged, this,
                &SettingsManager::applicationStateChanged);
}

int SettingsManager::jitter(int base)
{
    return base - base / 10 + int(QRandomGenerator::global()->generate() % quint32(2 * base / 10));
}

QString SettingsManager::fileName(quint16 version)
{
    return QStringLiteral("/%1%2")
        .arg(QLatin1String(FilePrefix))
        .arg(version, SuffixLength, 16, QLatin1Char('0'));
}

bool SettingsManager::isLater(quint16 candidate, quint16 current)
{
    return (current < candidate && candidate - current < 32768)
        || (candidate < current && current - candidate > 32768);
}

quint16 SettingsManager::newestVersion(const QList<quint16> &versions)
{
    if (versions.isEmpty())
        return 0;
    const quint16 lowest = *std::min_element(versions.begin(), versions.end());
    const quint16 highest = *std::max_element(versions.begin(), versions.end());
    if (versions.size() >= 2 && lowest < 255 && highest > 65280) {
        quint16 newest = 0;
        for (quint16 version : versions)
            if (version < 32768 && version >= newest)
                newest = version;
        return newest;
    }
    return highest;
}

void SettingsManager::setMainConnection(MainConnection *mainConnection)
{
    if (m_mainConnection || !mainConnection)
        return;
    m_mainConnection = mainConnection;
    connect(mainConnection, &MainConnection::connected, this, &SettingsManager::mainConnectionConnected);
    connect(mainConnection, &MainConnection::disconnected, this,
            &SettingsManager::mainConnectionDisconnected);
    setState(Offline);
    if (mainConnection->state() == MainConnection::Connected)
        mainConnectionConnected();
}

void SettingsManager::setState(SyncState state)
{
    m_state = state;
}

void SettingsManager::mainConnectionConnected()
{
    setState(Idle);
    startFetchSequence();
    if (QGuiApplication::applicationState() == Qt::ApplicationActive)
        m_pollTimer.start();
}

void SettingsManager::mainConnectionDisconnected()
{
    setState(Offline);
    m_pollTimer.stop();
}

void SettingsManager::applicationStateChanged(Qt::ApplicationState state)
{
    if (!m_mainConnection || m_mainConnection->state() != MainConnection::Connected)
        return;
    switch (state) {
    case Qt::ApplicationInactive:
        qDebug() << "Application not active. Slowing setting polling.";
        m_pollTimer.setInterval(jitter(InactivePollMs));
        break;
    case Qt::ApplicationActive:
        m_pollTimer.setInterval(jitter(ActivePollMs));
        if (m_state == Idle) {
            qDebug() << "Application active. Starting settings file polling.";
            startFetchSequence();
            m_pollTimer.start();
        }
        break;
    case Qt::ApplicationHidden:
    case Qt::ApplicationSuspended:
        qDebug() << "Application not visible. Suspending setting polling.";
        m_pollTimer.stop();
        break;
    }
}

void SettingsManager::startFetchSequence()
{
    if ((m_state != Idle && m_state != Failed) || !m_mainConnection) {
        qDebug() << "SettingsManager::startFetchSequence() - In invalid state" << m_state;
        return;
    }
    setState(Listing);
    m_mainConnection->files()->requestFileInfo(
        this, QString(), true, QLatin1String(FilePrefix) + QLatin1Char('*'),
        [this](const Menu::FileInfoData *listing, const QString &error) { listingArrived(listing, error); },
        RemoteFiles::Cursor::Quiet);
}

void SettingsManager::listingArrived(const Menu::FileInfoData *data, const QString &error)
{
    if (!error.isEmpty() || !data) {
        qWarning() << "SettingsManager: Could not fetch user directory. " << error;
        if (m_state != Offline)
            setState(Failed);
        return;
    }
    setState(Idle);

    QMap<quint16, QString> files;
    for (const auto &info : data->fileinfo()) {
        const QString name = QString::fromLatin1(info.name().data(), int(info.name().size()));
        if (!name.startsWith(QLatin1String(FilePrefix))
            || name.size() != int(strlen(FilePrefix)) + SuffixLength)
            continue;
        bool ok = false;
        const quint16 version = name.rightRef(SuffixLength).toUShort(&ok, 16);
        if (!ok) {
            // Not one of ours; fetching it as version 0 would fail every round.
            qDebug() << "SettingsManager: ignoring" << name;
            continue;
        }
        files.insert(version, name);
    }

    if (files.isEmpty()) {
        m_themeDirty = m_keyDirty = m_recentsDirty = true;
        processFile(0, QByteArray());
        return;
    }

    const quint16 newest = newestVersion(files.keys());
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (it.key() == newest)
            continue;
        qDebug() << "Deleting" << it.value();
        const QString name = it.value();
        m_mainConnection->files()->deleteFile(
            this, QLatin1Char('/') + name,
            [name](const QString &error) {
                if (!error.isEmpty())
                    qWarning() << "SettingsManager: Could not delete file" << name << error;
            },
            RemoteFiles::Cursor::Quiet);
    }
    if (m_fileVersion == 0 || isLater(newest, m_fileVersion) || m_themeDirty || m_keyDirty
        || m_recentsDirty) {
        setState(Fetching);
        m_mainConnection->files()->requestFile(
            this, fileName(newest),
            [this, newest](const QByteArray &data, const QString &error) {
                if (!error.isEmpty()) {
                    qWarning() << "SettingsManager: Could not fetch settings file. " << error;
                    if (m_state != Offline)
                        setState(Failed);
                    return;
                }
                processFile(newest, data);
            },
            RemoteFiles::Cursor::Quiet);
    }
}

void SettingsManager::processFile(quint16 version, const QByteArray &data)
{
    setState(Idle);
    m_fileVersion = version;

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    QJsonObject file = document.object();
    if (!data.isEmpty() && (parseError.error != QJsonParseError::NoError || !document.isObject())) {
        // Keep everything local and let this round write a good copy over it.
        qWarning() << "SettingsManager: settings file" << fileName(version)
                   << "is not valid JSON; keeping local settings:" << parseError.errorString();
        m_themeDirty = m_keyDirty = m_recentsDirty = true;
        file = QJsonObject();
    }

    bool writeNeeded = false;
    if (m_keyDirty) {
        writeNeeded = true;
    } else {
        const QJsonValue done = file.value(KeyMapperMember).toObject().value(DoneMember);
        const QKeySequence key = QKeySequence::fromString(done.toString(), QKeySequence::NativeText);
        if (!done.isString() || key.isEmpty()) {
            qWarning() << "SettingsManager: settings file has no usable done key; keeping"
                       << m_doneKey.toString();
            m_keyDirty = writeNeeded = true;
        } else if (key != m_doneKey) {
            m_doneKey = key;
            QSettings().setValue(QStringLiteral("KeyMapper/done"), key.toString(QKeySequence::PortableText));
            emit doneKeyUpdated(m_doneKey);
        }
    }

    if (m_themeDirty) {
        writeNeeded = true;
    } else {
        const QJsonValue theme = file.value(ThemeMember);
        if (!theme.isString()) {
            qWarning() << "SettingsManager: settings file has no usable theme name; keeping" << m_themeName;
            m_themeDirty = writeNeeded = true;
        } else if (theme.toString() != m_themeName) {
            m_themeName = theme.toString();
            QSettings().setValue(QStringLiteral("settings/themeName"), m_themeName);
            emit themeNameUpdated(m_themeName);
        }
    }

    const QJsonValue pinnedAll = file.value(PinnedMember);
    const QJsonValue recentAll = file.value(RecentMember);
    if (!m_loaded && !recentAll.toObject().contains(m_recentsKey) && !m_recents.isEmpty())
        m_recentsDirty = true; // local recents imported from an older layout
    if (!m_recentsDirty) {
        LaunchList pinned;
        LaunchList recents;
        const bool containersOk = (pinnedAll.isUndefined() || pinnedAll.isObject())
            && (recentAll.isUndefined() || recentAll.isObject());
        if (containersOk && fromJson(pinnedAll.toObject().value(m_recentsKey), MaxPinned, &pinned)
            && fromJson(recentAll.toObject().value(m_recentsKey), MaxRecents, &recents)) {
            m_pinned = pinned;
            m_recents = recents;
            emit recentsUpdated();
        } else {
            qWarning() << "SettingsManager: settings file has damaged launch lists; keeping the local ones";
            m_recentsDirty = true;
        }
    }

    m_loaded = true;
    if (writeNeeded || m_recentsDirty)
        sendFile(file);
}

void SettingsManager::sendFile(const QJsonObject &fromServer)
{
    setState(Sending);
    m_fileVersion = m_fileVersion == 0xFFFF ? 1 : quint16(m_fileVersion + 1);

    QJsonObject out;
    out.insert(ThemeMember, m_themeDirty ? QJsonValue(m_themeName) : fromServer.value(ThemeMember));
    out.insert(KeyMapperMember,
               m_keyDirty ? QJsonValue(
                   QJsonObject { { DoneMember, m_doneKey.toString(QKeySequence::PortableText) } })
                          : fromServer.value(KeyMapperMember));
    QJsonObject pinned = fromServer.value(PinnedMember).toObject();
    QJsonObject recent = fromServer.value(RecentMember).toObject();
    if (m_recentsDirty) {
        pinned.insert(m_recentsKey, toJson(m_pinned));
        recent.insert(m_recentsKey, toJson(m_recents));
    }
    out.insert(PinnedMember, pinned);
    out.insert(RecentMember, recent);

    // The changes stay marked until the server confirms the copy: a lost link must not lose them.
    const bool theme = m_themeDirty;
    const bool key = m_keyDirty;
    const bool recents = m_recentsDirty;
    const quint64 changes = m_localChanges;
    m_mainConnection->files()->uploadFile(
        this, fileName(m_fileVersion), QJsonDocument(out).toJson(QJsonDocument::Indented), false, true,
        [this, theme, key, recents, changes](const QString &error) {
            if (!error.isEmpty()) {
                qWarning() << "SettingsManager: Could not send settings file. " << error;
                if (m_state == Sending)
                    setState(Failed);
                return;
            }
            // What changed again while the copy was on its way goes with the next one.
            if (changes == m_localChanges) {
                m_themeDirty = m_themeDirty && !theme;
                m_keyDirty = m_keyDirty && !key;
                m_recentsDirty = m_recentsDirty && !recents;
            }
            if (m_state == Sending)
                setState(Idle);
        },
        RemoteFiles::Cursor::Quiet);
}

void SettingsManager::setSettings(const UserSettings &settings)
{
    QSettings local;
    local.setValue(QStringLiteral("settings/themeName"), settings.themeName);
    local.setValue(QStringLiteral("KeyMapper/done"), settings.doneKey.toString(QKeySequence::PortableText));
    const bool themeChanged = settings.themeName != m_themeName;
    const bool keyChanged = settings.doneKey != m_doneKey;
    if (!themeChanged && !keyChanged)
        return;
    // Both values are in place before anyone hears of either: a restyled page binds the new key.
    m_themeName = settings.themeName;
    m_doneKey = settings.doneKey;
    m_themeDirty = m_themeDirty || themeChanged;
    m_keyDirty = m_keyDirty || keyChanged;
    ++m_localChanges;
    if (themeChanged)
        emit themeNameUpdated(m_themeName);
    if (keyChanged)
        emit doneKeyUpdated(m_doneKey);
    startFetchSequence();
}

void SettingsManager::recentsChanged()
{
    emit recentsUpdated();
    m_recentsDirty = true;
    ++m_localChanges;
    startFetchSequence();
}

void SettingsManager::addRecentLaunch(const QString &path)
{
    const auto pinned = std::find_if(m_pinned.begin(), m_pinned.end(),
                                     [&path](const LaunchEntry &entry) { return entry.path == path; });
    if (pinned != m_pinned.end()) {
        pinned->time = QDateTime::currentDateTime();
    } else {
        removePath(m_recents, path);
        m_recents.prepend({ path, QDateTime::currentDateTime() });
        trimRecents(m_recents);
    }
    recentsChanged();
}

void SettingsManager::pin(const QString &path, const QDateTime &time)
{
    qInfo() << "pinned" << path << time;
    removePath(m_recents, path);
    m_pinned.prepend({ path, time });
    recentsChanged();
}

void SettingsManager::unpin(const QString &path, const QDateTime &time)
{
    qInfo() << "UNpinned" << path << time;
    removePath(m_pinned, path);
    const auto before = std::find_if(m_recents.begin(), m_recents.end(),
                                     [&time](const LaunchEntry &entry) { return entry.time < time; });
    m_recents.insert(before, { path, time });
    trimRecents(m_recents);
    recentsChanged();
}

void SettingsManager::setPinnedLaunches(const LaunchList &list)
{
    m_pinned = list;
    recentsChanged();
}

void SettingsManager::removeLaunches(const QStringList &paths)
{
    for (const QString &path : paths) {
        removePath(m_pinned, path);
        removePath(m_recents, path);
    }
    recentsChanged();
}

void SettingsManager::setRecentsKey(const QString &key)
{
    m_recentsKey = key;
    m_recents.clear();
    importLocalRecents();
    emit recentsUpdated();
    startFetchSequence();
}

void SettingsManager::importLocalRecents()
{
    QSettings local;
    const auto readArray = [this, &local](const QString &name) {
        const int count = local.beginReadArray(name);
        for (int i = 0; i < count; ++i) {
            local.setArrayIndex(i);
            m_recents.append(
                { local.value(QStringLiteral("path")).toString(),
                  QDateTime::fromSecsSinceEpoch(local.value(QStringLiteral("time")).toLongLong()) });
        }
        local.endArray();
        local.remove(name);
    };
    local.beginGroup(QStringLiteral("recents"));
    if (local.contains(QStringLiteral("recentsStyle2"))) {
        readArray(m_recentsKey);
        local.endGroup();
    } else {
        local.endGroup();
        readArray(QStringLiteral("recentLaunches"));
    }
}
