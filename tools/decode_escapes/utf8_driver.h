// The pass over a block of UTF-8, written once for every kernel. Each kernel
// file includes this header and instantiates DecodeUtf8Block<K> with its own
// operations, so that the whole pass is compiled for that file's
// instruction set; everything here has internal linkage, so that no copy
// compiled for one instruction set can stand in for another.
//
// What a kernel K provides:
//   FindByte(bytes, from, count, byte)  the first `byte` in bytes[from, count), or count
//   DecodesGroups                       true when DecodeGroups is there:
//   DecodeGroups(mode, bytes, in, count, out)
//                                       decodes plain escapes back to back
//                                       from `in`, several at a time, as far
//                                       as each names a character of three
//                                       bytes; moves `in` and `out` past them
#ifndef DECODE_ESCAPES_UTF8_DRIVER_H
#define DECODE_ESCAPES_UTF8_DRIVER_H

#include "utf8_escape_reading.h"

#include <cstring>

namespace {

bool NamesHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

template <class K>
BlockStep DecodeUtf8Block(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd)
{
    const unsigned char first = Utf8PrefixFirst[state.mode];
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
        if (start + 1 == count || bytes[start + 1] != Utf8PrefixSecond[state.mode]) {
            FlushPendingHigh(state, bytes, out);
            bytes[out++] = first;
            in = start + 1;
            continue;
        }
        if constexpr (K::DecodesGroups) {
            // Groups name no surrogate, so a pending one waits for the reader.
            if (state.pendingHigh == 0 && K::DecodeGroups(state.mode, bytes, in, count, out)) {
                state.decodedAny = true;
                continue;
            }
        }
        Utf8Escape escape;
        if (!ReadUtf8Escape(state.mode, bytes, start, count, atEnd, escape))
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
        PutUtf8Unit(state, escape.unit, bytes, out);
        if (escape.splitLow != 0)
            PutUtf8Unit(state, escape.splitLow, bytes, out);
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

}  // namespace

#endif
