// Texts for the decoder benchmark: Japanese and Chinese prose with ASCII
// words, without escapes, with 1% of its units in escapes, or nothing but
// escapes back to back.
#ifndef BENCH_BENCH_TEXTS_H
#define BENCH_BENCH_TEXTS_H

#include <cstddef>
#include <cstdint>
#include <vector>

enum class TextKind { None, Sparse, Dense };

// A text of exactly `units` code units, its terminator included, with the
// escapes of `mode` (0: "&#26085;", 1: "\u65e5") as `kind` asks. The same
// arguments always give the same text.
std::vector<char16_t> MakeBenchText(std::int32_t mode, TextKind kind, std::size_t units);

#endif
