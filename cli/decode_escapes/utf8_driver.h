// The pass over a block of UTF-8, written once for every kernel. Each kernel
// file includes this header and instantiates DecodeUtf8Block<K> with its own
// operations, so that the whole pass is compiled for that file's
// instruction set; everything here has internal linkage, so that no copy
// compiled for one instruction set can stand in for another.
//
// What a kernel K provides:
//   FindByte(bytes, from, count, byte)  the first `byte` in bytes[from, count), or
//                                       count (VectorSearch<V> below, for a
//                                       kernel with vectors)
//   FindUnit(units, from, count, unit)  the same for UTF-16 units, for the
//                                       html and json modes (format_driver.h)
//   DecodesGroups                       true when DecodeGroups is there:
//   DecodeGroups<Mode>(bytes, in, count, out)
//                                       decodes plain escapes back to back
//                                       from `in`, several at a time, as far
//                                       as each names a character of three
//                                       bytes; moves `in` and `out` past them
#ifndef DECODE_ESCAPES_UTF8_DRIVER_H
#define DECODE_ESCAPES_UTF8_DRIVER_H

#include "text_kernels/lowest_set_bit.h"
#include "utf8_escape_reading.h"

#include <cstring>
#include <utility>

namespace {

// The byte search of a kernel whose vectors V hold V::Width bytes (16 or
// 32): V::Splat(byte) gives a vector of `byte`, V::Matches(p, needle) a bit
// for each of the Width bytes at p that equals it. 64 bytes a step while
// they last, then a vector at a time, then byte by byte. The unit search
// is the same with V::SplatUnit and V::MatchUnits, which gives two bits for
// each unit that equals the needle.
template <class V>
struct VectorSearch {
    static std::size_t FindByte(const unsigned char* bytes, std::size_t from, std::size_t count, unsigned char byte)
    {
        const auto needle = V::Splat(byte);
        const std::size_t vectors = 64 / V::Width;
        std::size_t i = from;
        for (; count - i >= 64; i += 64) {
            unsigned any = 0;
            for (std::size_t v = 0; v < vectors; ++v)
                any |= V::Matches(bytes + i + v * V::Width, needle);
            if (any != 0)
                break;
        }
        for (; count - i >= V::Width; i += V::Width) {
            const unsigned mask = V::Matches(bytes + i, needle);
            if (mask != 0)
                return i + LowestSetBit(mask);
        }
        while (i < count && bytes[i] != byte)
            ++i;
        return i;
    }

    static std::size_t FindUnit(const char16_t* units, std::size_t from, std::size_t count, char16_t unit)
    {
        const auto needle = V::SplatUnit(unit);
        const std::size_t width = V::Width / sizeof(char16_t);
        const std::size_t vectors = 64 / V::Width;
        std::size_t i = from;
        for (; count - i >= 32; i += 32) {
            unsigned any = 0;
            for (std::size_t v = 0; v < vectors; ++v)
                any |= V::MatchUnits(units + i + v * width, needle);
            if (any != 0)
                break;
        }
        for (; count - i >= width; i += width) {
            const unsigned mask = V::MatchUnits(units + i, needle);
            if (mask != 0)
                return i + LowestSetBit(mask) / sizeof(char16_t);
        }
        while (i < count && units[i] != unit)
            ++i;
        return i;
    }
};

bool NamesHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

template <class K, DecodeMode Mode>
BlockStep DecodeUtf8Block(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd)
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<Mode>();
    const unsigned char first = static_cast<unsigned char>(syntax.prefix[0]);
    std::size_t in = 0;
    std::size_t out = 0;  // never passes `in`: the result grows behind the reading
    for (;;) {
        const std::size_t start = K::FindByte(bytes, in, count, first);
        if (start > in) {
            FlushPendingHigh(state, bytes, out);
            std::memmove(bytes + out, bytes + in, start - in);
            out += start - in;
            in = start;
        }
        if (start == count || (start + 1 == count && !atEnd))
            break;
        if (start + 1 == count || bytes[start + 1] != syntax.prefix[1]) {
            FlushPendingHigh(state, bytes, out);
            bytes[out++] = first;
            in = start + 1;
            continue;
        }
        if constexpr (K::DecodesGroups) {
            // Groups name no surrogate, so a pending one waits for the reader.
            if (state.pendingHigh == 0 && K::template DecodeGroups<Mode>(bytes, in, count, out)) {
                state.decodedAny = true;
                continue;
            }
        }
        Utf8Escape escape;
        if (!ReadUtf8Escape(syntax, bytes, start, count, atEnd, escape))
            break;
        if (escape.unit == 0) {
            FlushPendingHigh(state, bytes, out);  // the escape stays as it stood
            std::memmove(bytes + out, bytes + start, escape.end - start);
            out += escape.end - start;
            in = escape.end;
            continue;
        }
        // A high surrogate joins the unit after it: that must be in this block.
        if (NamesHighSurrogate(escape.unit) && !atEnd && count - escape.end < PartnerReach)
            break;
        state.decodedAny = true;
        PutUnitAsUtf8(state, escape.unit, bytes, out);
        if (escape.splitLow != 0)
            PutUnitAsUtf8(state, escape.splitLow, bytes, out);
        in = escape.end;
    }
    if (atEnd)
        FlushPendingHigh(state, bytes, out);
    state.writtenBefore += out;
    BlockStep step;
    step.consumed = in;
    step.written = out;
    return step;
}

// The pass of the state's mode, compiled for every row of EscapeSyntaxes. A
// value that names no mode has no escapes: the bytes stay as they are.
template <class K, std::size_t... Row>
BlockStep DecodeUtf8BlockOfRow(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd,
                               std::index_sequence<Row...>)
{
    BlockStep step;
    step.consumed = count;
    step.written = count;
    const bool known = ((state.mode == EscapeSyntaxes[Row].mode &&
                         (step = DecodeUtf8Block<K, EscapeSyntaxes[Row].mode>(state, bytes, count, atEnd), true)) ||
                        ...);
    if (!known)
        state.writtenBefore += count;
    return step;
}

template <class K>
BlockStep DecodeUtf8Block(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd)
{
    return DecodeUtf8BlockOfRow<K>(state, bytes, count, atEnd, std::make_index_sequence<EscapeSyntaxCount>());
}

}  // namespace

#endif
