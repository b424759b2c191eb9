#pragma once

#include <QString>

// Whether this process replays a recording. A replay stays offline: nothing may leave the process
// then (no address handed to the system, no web page loaded, no download, no external viewer, no
// installer), and what would have been opened says "not opened during a replay" instead. Set once,
// before the replay starts; read by everything that would reach outside.
class ReplayMode
{
public:
    static bool isReplaying();
    static void setReplaying(bool replaying);
    static QString notOpenedText();
};
