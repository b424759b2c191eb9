#include "replaymode.h"

#include <QDebug>

namespace {

bool replaying = false;

} // namespace

bool ReplayMode::isReplaying()
{
    return replaying;
}

void ReplayMode::setReplaying(bool on)
{
    if (on == replaying)
        return;
    replaying = on;
    if (on)
        qInfo() << "Replay: offline; addresses, web pages, downloads, viewers and installers are not opened";
}

QString ReplayMode::notOpenedText()
{
    return QStringLiteral("not opened during a replay");
}
