// Throughput of hub frame encoding and decoding, each reported as a ratio against a baseline
// measured in the same run: memcpy of the payload for frames sent as they are, plain zlib
// compress/uncompress of the same bytes for frames that are (or are tried to be) compressed.
//
// Arguments: payload size, content (0 compressible text, 1 random bytes), compression announced.

#include "framecodec.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <QRandomGenerator>

#include <chrono>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Enough frames per round that per-call overhead of small frames is measured in bulk.
constexpr int RoundBytes = 256 * 1024;
// Keeps the baseline copy's source and destination from sharing their low address bits, which
// slows memcpy down and would flatter the ratio.
constexpr size_t CopyOffset = 64;

QByteArray payloadFor(int size, bool random)
{
    QByteArray bytes(size, Qt::Uninitialized);
    if (random) {
        QRandomGenerator generator(42);
        for (char &c : bytes)
            c = char(generator.bounded(256));
    } else {
        const QByteArray text("Student 10045, Finance main menu: fees outstanding 120.00 NZD; ");
        for (int i = 0; i < size; ++i)
            bytes[i] = text[i % text.size()];
    }
    return bytes;
}

int framesPerRound(int size)
{
    return std::max(1, RoundBytes / size);
}

// Times baseline and op alternately, so that load from other processes hits both alike; the
// reported time is op's, and the counter is op's total time over the baseline's.
template<class Baseline, class Op>
void runAgainstBaseline(benchmark::State &state, int bytesPerCall, const char *baselineName,
                        Baseline baseline, Op op)
{
    std::chrono::duration<double> baselineTotal {};
    std::chrono::duration<double> opTotal {};
    long calls = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        baseline();
        const auto t1 = Clock::now();
        op();
        const auto t2 = Clock::now();
        baselineTotal += t1 - t0;
        opTotal += t2 - t1;
        state.SetIterationTime(std::chrono::duration<double>(t2 - t1).count());
        ++calls;
    }
    state.SetBytesProcessed(int64_t(calls) * bytesPerCall);
    state.counters[baselineName] = opTotal / baselineTotal;
}

void BM_Encode(benchmark::State &state)
{
    const int size = int(state.range(0));
    const QByteArray payload = payloadFor(size, state.range(1) != 0);
    const bool announced = state.range(2) != 0;
    const int frames = framesPerRound(size);
    const bool tried = FrameCodec::encode(1, payload, announced).compressionTried;

    std::vector<Bytef> out(compressBound(uLong(size)) + CopyOffset);
    const auto zlib = [&] {
        for (int i = 0; i < frames; ++i) {
            uLongf outSize = uLongf(out.size());
            compress2(out.data(), &outSize, reinterpret_cast<const Bytef *>(payload.constData()), uLong(size),
                      Z_DEFAULT_COMPRESSION);
            benchmark::DoNotOptimize(out.data());
        }
    };
    const auto copy = [&] {
        for (int i = 0; i < frames; ++i) {
            std::memcpy(out.data() + CopyOffset, payload.constData(), size_t(size));
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    };
    const auto encode = [&] {
        for (int i = 0; i < frames; ++i) {
            FrameCodec::Encoded encoded = FrameCodec::encode(1, payload, announced);
            benchmark::DoNotOptimize(encoded.bytes.data());
        }
    };
    if (tried)
        runAgainstBaseline(state, size * frames, "vs_zlib", zlib, encode);
    else
        runAgainstBaseline(state, size * frames, "vs_memcpy", copy, encode);
}

void BM_Decode(benchmark::State &state)
{
    const int size = int(state.range(0));
    const QByteArray payload = payloadFor(size, state.range(1) != 0);
    const bool announced = state.range(2) != 0;
    const int frames = framesPerRound(size);
    const FrameCodec::Encoded encoded = FrameCodec::encode(1, payload, announced);
    const QByteArray stream = encoded.bytes.repeated(frames);

    std::vector<Bytef> out(size_t(size) + CopyOffset);
    const QByteArray compressed = encoded.bytes.mid(FrameCodec::HeaderSize + 4);
    const auto zlib = [&] {
        for (int i = 0; i < frames; ++i) {
            uLongf outSize = uLongf(out.size());
            uncompress(out.data(), &outSize, reinterpret_cast<const Bytef *>(compressed.constData()),
                       uLong(compressed.size()));
            benchmark::DoNotOptimize(out.data());
        }
    };
    const auto copy = [&] {
        for (int i = 0; i < frames; ++i) {
            std::memcpy(out.data() + CopyOffset, payload.constData(), size_t(size));
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    };
    FrameCodec codec;
    FrameCodec::Frame frame;
    const auto decode = [&] {
        codec.feed(stream);
        while (codec.next(&frame) == FrameCodec::Result::Frame)
            benchmark::DoNotOptimize(frame.payload.data());
    };
    if (encoded.compressed)
        runAgainstBaseline(state, size * frames, "vs_zlib", zlib, decode);
    else
        runAgainstBaseline(state, size * frames, "vs_memcpy", copy, decode);
}

void frameArguments(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgNames({ "size", "random", "compress" });
    for (int size : { 100, 4096, 1 << 20 })
        for (int random : { 0, 1 })
            for (int announced : { 0, 1 })
                benchmark->Args({ size, random, announced });
}

} // namespace

BENCHMARK(BM_Encode)->Apply(frameArguments)->UseManualTime();
BENCHMARK(BM_Decode)->Apply(frameArguments)->UseManualTime();

BENCHMARK_MAIN();
