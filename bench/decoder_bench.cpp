// Decoder speed against a plain copy of the same buffer.
//
//   Decode/<kernel>/<charref|ucn>/<none|sparse|dense>/<size>
//                                  DecodeText with each kernel that runs here
//   Reference/<charref|ucn>/<none|sparse|dense>/64KiB   the literal model
//   Memcpy/<size>                  memcpy of the buffer
//
// Sizes are bytes of UTF-16 input, terminator included, and every case
// reports those bytes per second. 64KiB and 16MiB are the sizes compared;
// the others are there so that each doubling can be seen, and checked where
// the decoder and the copy both stay within one level of the memory
// hierarchy: 128KiB to 256KiB in the core's second-level cache, 128MiB to
// 256MiB in memory (bench/ratios.py).
//
// Fairness. The decoder works in place, so each iteration first restores the
// text with a copy from a pristine source. That restore copy is not timed:
// the clock is read after it and after the decode (manual time), which costs
// two clock reads per iteration, where PauseTiming would cost two process
// CPU-time system calls. Memcpy/<size> times exactly that restore copy alone,
// between the same two clock reads. So both sides compare work on N bytes
// that were just copied (the text is as warm in the caches for the decode as
// the source and destination are for the copy): decoding N bytes in place
// against copying N bytes. The clock reads (tens of nanoseconds) are in both.
// Every buffer is written once before the clock runs, so that no first touch
// of a page is timed. The kernel is named to DecodeText, which then asks the
// processor nothing.
// Google Benchmark appends "/manual_time" to every name.
#include "bench_texts.h"
#include "decoder/escape_decoder.h"
#include "reference_model.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct SizeCase {
    const char* name;
    std::size_t bytes;
};

const SizeCase Sizes[] = {
    {"64KiB", 64u << 10}, {"128KiB", 128u << 10}, {"256KiB", 256u << 10}, {"8MiB", 8u << 20},     {"16MiB", 16u << 20},
    {"32MiB", 32u << 20}, {"64MiB", 64u << 20},   {"128MiB", 128u << 20}, {"256MiB", 256u << 20},
};

struct KindCase {
    const char* name;
    TextKind kind;
};

const KindCase Kinds[] = {{"none", TextKind::None}, {"sparse", TextKind::Sparse}, {"dense", TextKind::Dense}};

const char* const ModeNames[] = {"charref", "ucn"};

// A 64-byte aligned buffer. Both the pristine texts and the buffers they are
// copied to are aligned alike, since the alignment of a copy's source changes
// how fast the copied text is read right after.
struct AlignedDelete {
    void operator()(char16_t* p) const { ::operator delete(p, std::align_val_t(64)); }
};
using Buffer = std::unique_ptr<char16_t, AlignedDelete>;

// A buffer of `bytes`, every page of it already touched.
Buffer NewBuffer(std::size_t bytes)
{
    Buffer buffer(static_cast<char16_t*>(::operator new(bytes, std::align_val_t(64))));
    std::memset(buffer.get(), 0, bytes);
    return buffer;
}

// The pristine texts, made once per mode, kind and size.
const char16_t* Text(std::int32_t mode, TextKind kind, std::size_t bytes)
{
    static std::map<std::tuple<std::int32_t, TextKind, std::size_t>, Buffer> texts;
    Buffer& text = texts[{mode, kind, bytes}];
    if (!text) {
        const std::vector<char16_t> made = MakeBenchText(mode, kind, bytes / sizeof(char16_t));
        text = NewBuffer(bytes);
        std::memcpy(text.get(), made.data(), bytes);
    }
    return text.get();
}

void RestoreCopy(char16_t* work, const char16_t* source, std::size_t bytes)
{
    std::memcpy(work, source, bytes);
}

double Seconds(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double>(end - start).count();
}

template <class Decode>
void RunDecode(benchmark::State& state, Decode decode, std::int32_t mode, TextKind kind, std::size_t bytes)
{
    const char16_t* source = Text(mode, kind, bytes);
    Buffer work = NewBuffer(bytes);
    for (auto _ : state) {
        RestoreCopy(work.get(), source, bytes);
        benchmark::ClobberMemory();
        const Clock::time_point start = Clock::now();
        decode(work.get());
        benchmark::ClobberMemory();
        const Clock::time_point end = Clock::now();
        state.SetIterationTime(Seconds(start, end));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

void RunMemcpy(benchmark::State& state, std::size_t bytes)
{
    const char16_t* source = Text(0, TextKind::Sparse, bytes);
    Buffer work = NewBuffer(bytes);
    for (auto _ : state) {
        benchmark::ClobberMemory();
        const Clock::time_point start = Clock::now();
        RestoreCopy(work.get(), source, bytes);
        benchmark::ClobberMemory();
        const Clock::time_point end = Clock::now();
        state.SetIterationTime(Seconds(start, end));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

void RegisterCases()
{
    for (const SizeCase& size : Sizes) {
        const std::size_t bytes = size.bytes;
        benchmark::RegisterBenchmark((std::string("Memcpy/") + size.name).c_str(), [bytes](benchmark::State& state) {
            RunMemcpy(state, bytes);
        })->UseManualTime();
    }
    for (Kernel kernel : RunnableKernels()) {
        for (std::int32_t mode = 0; mode < 2; ++mode) {
            for (const KindCase& kind : Kinds) {
                for (const SizeCase& size : Sizes) {
                    const std::string name = std::string("Decode/") + KernelName(kernel) + "/" + ModeNames[mode] + "/" +
                                             kind.name + "/" + size.name;
                    const TextKind text_kind = kind.kind;
                    const std::size_t bytes = size.bytes;
                    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                        const auto decode = [=](char16_t* text) {
                            DecodeText(text, static_cast<DecodeMode>(mode), kernel);
                        };
                        RunDecode(state, decode, mode, text_kind, bytes);
                    })->UseManualTime();
                }
            }
        }
    }
    // The literal model moves the rest of the text at every replacement; it
    // runs at the small size only.
    for (std::int32_t mode = 0; mode < 2; ++mode) {
        for (const KindCase& kind : Kinds) {
            const std::string name = std::string("Reference/") + ModeNames[mode] + "/" + kind.name + "/64KiB";
            const TextKind text_kind = kind.kind;
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                const auto decode = [=](char16_t* text) { DecodeTextModel(text, mode); };
                RunDecode(state, decode, mode, text_kind, 64u << 10);
            })->UseManualTime();
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    RegisterCases();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
