// The parts of the UTF-8 decoding that every kernel shares, compiled once:
// reading one escape of any shape with the decoder's field reader, and
// writing decoded units as UTF-8.
#ifndef DECODE_ESCAPES_UTF8_ESCAPE_READING_H
#define DECODE_ESCAPES_UTF8_ESCAPE_READING_H

#include "decoder/decode_mode.h"
#include "utf8_escapes.h"

#include <cstddef>
#include <cstdint>

// Bytes after a decoded high surrogate within which whatever follows it, an
// escape of any shape included, is whole: a unit takes at most 3 bytes of
// UTF-8 (a pair of them 4), so 4 bytes for each unit that a block carries
// over.
const std::size_t PartnerReach = 4 * LongestCarryUnits();

struct Utf8Escape {
    char16_t unit = 0;      // what the escape names; 0: it stays as it stood
    char16_t splitLow = 0;  // the second half of a character whose first half ended the field
    std::size_t end = 0;    // the byte after the escape
};

// Reads the escape whose prefix starts at `start`. False when the bytes up
// to `count` do not hold all that the field reader may look at, and more
// text follows.
bool ReadUtf8Escape(const EscapeSyntax& syntax, const unsigned char* bytes, std::size_t start, std::size_t count,
                    bool atEnd, Utf8Escape& escape);

// Encodes one code unit of the result as UTF-8 at `out`, joining a high
// surrogate with the low one that follows it.
void PutUnitAsUtf8(Utf8DecodeState& state, char16_t unit, unsigned char* bytes, std::size_t& out);

// Writes a high surrogate that no low one follows, as U+FFFD.
void FlushPendingHigh(Utf8DecodeState& state, unsigned char* bytes, std::size_t& out);

#endif
