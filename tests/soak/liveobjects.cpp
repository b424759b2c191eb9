#include "liveobjects.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QStringList>

#include <mutex>
#include <thread>
#include <unordered_set>

// QtCore's hook table (qhooks_p.h, a private header of Qt 5): stable since Qt 5.4 and read by
// debugging tools such as object inspectors.
extern quintptr Q_CORE_EXPORT qtHookData[];

namespace {

enum HookIndex { HookDataVersion = 0, HookDataSize = 1, QtVersion = 2, AddQObject = 3, RemoveQObject = 4 };
using ObjectHook = void (*)(QObject *);

struct Registry
{
    std::mutex mutex;
    std::unordered_set<QObject *> objects;
    std::thread::id thread;
    ObjectHook previousAdd = nullptr;
    ObjectHook previousRemove = nullptr;
};

Registry &registry()
{
    // Never destroyed: objects still go after main() returns.
    static auto *instance = new Registry;
    return *instance;
}

void objectAdded(QObject *object)
{
    Registry &r = registry();
    if (std::this_thread::get_id() == r.thread) {
        const std::lock_guard<std::mutex> lock(r.mutex);
        r.objects.insert(object);
    }
    if (r.previousAdd)
        r.previousAdd(object);
}

void objectRemoved(QObject *object)
{
    Registry &r = registry();
    {
        const std::lock_guard<std::mutex> lock(r.mutex);
        r.objects.erase(object);
    }
    if (r.previousRemove)
        r.previousRemove(object);
}

} // namespace

bool LiveObjects::install()
{
    if (qtHookData[QtVersion] != QT_VERSION || qtHookData[HookDataSize] <= RemoveQObject)
        return false;
    Registry &r = registry();
    if (qtHookData[AddQObject] == reinterpret_cast<quintptr>(&objectAdded))
        return true;
    r.thread = std::this_thread::get_id();
    r.previousAdd = reinterpret_cast<ObjectHook>(qtHookData[AddQObject]);
    r.previousRemove = reinterpret_cast<ObjectHook>(qtHookData[RemoveQObject]);
    qtHookData[AddQObject] = reinterpret_cast<quintptr>(&objectAdded);
    qtHookData[RemoveQObject] = reinterpret_cast<quintptr>(&objectRemoved);
    return true;
}

int LiveObjects::count()
{
    Registry &r = registry();
    const std::lock_guard<std::mutex> lock(r.mutex);
    return int(r.objects.size());
}

int LiveObjects::settledCount(int timeoutMs)
{
    constexpr int QuietMs = 60;
    constexpr int StepMs = 10;
    const QDeadlineTimer deadline(timeoutMs);
    int last = -1;
    QDeadlineTimer quiet(QuietMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, StepMs);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
        const int now = count();
        if (now != last) {
            last = now;
            quiet.setRemainingTime(QuietMs);
        } else if (quiet.hasExpired()) {
            break;
        }
    }
    return last;
}

LiveObjects::Census LiveObjects::census()
{
    Registry &r = registry();
    // Held throughout: an object going meanwhile waits in its destructor's hook, still readable.
    const std::lock_guard<std::mutex> lock(r.mutex);
    Census census;
    for (QObject *object : r.objects)
        ++census[object->metaObject()->className()];
    return census;
}

QString LiveObjects::difference(const Census &before, const Census &after)
{
    QStringList parts;
    Census all = before;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        all.insert(it.key(), 0);
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const int delta = after.value(it.key()) - before.value(it.key());
        if (delta != 0)
            parts << QStringLiteral("%1%2 %3").arg(delta > 0 ? "+" : "").arg(delta).arg(QString::fromLatin1(it.key()));
    }
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}
