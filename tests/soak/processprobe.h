#pragma once

#include <QtGlobal>

// What a process holds, read from /proc: for this process (pid 0) or another one.
namespace ProcessProbe {

qint64 residentBytes(qint64 pid = 0);
int openFiles(qint64 pid = 0);
// Hands memory that malloc keeps free back to the system, so that a reading shows what is held
// rather than what the allocator happens to keep cached.
void releaseFreeMemory();
double megabytes(qint64 bytes);
// False in a sanitizer build: freed memory is held back there on purpose, so resident memory says
// nothing about leaks (the live-object counts still do).
bool memoryIsJudged();

} // namespace ProcessProbe
