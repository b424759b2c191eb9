#pragma once

#include <QByteArray>
#include <QList>

// Every target defines these two; fuzzsupport.cpp turns them into libFuzzer's entry points.

// Inputs built the way the tests build their messages, written out as the target's first corpus
// when the environment names a folder in ZU_FUZZ_SEEDS.
QList<QByteArray> fuzzSeeds();
// One input, handled as the code under test would handle bytes from outside.
void fuzzOne(const QByteArray &input);

// Inputs that stand for several messages are cut at this marker, so that a seed can hold a whole
// exchange and the fuzzer can still mutate each message on its own.
QList<QByteArray> splitMessages(const QByteArray &input);
QByteArray joinMessages(const QList<QByteArray> &messages);
// Seeds of an exchange: all its messages as one input, then each message alone.
QList<QByteArray> exchangeSeeds(const QList<QByteArray> &messages);

// Runs what the code under test left queued (deferred deletes, zero timers) and deletes it.
void settleEvents();

// A property of the result that must hold for every input; a failure is a finding.
[[noreturn]] void fuzzCheckFailed(const char *condition, const char *file, int line);
#define FUZZ_CHECK(condition) ((condition) ? void() : fuzzCheckFailed(#condition, __FILE__, __LINE__))

// The screen documents of the stand-in hub and of the tests, read from the source tree.
QList<QByteArray> screenSeeds();
