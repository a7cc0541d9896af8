// The command-line tool's own modes, for the formats its users hold:
//
//   html  character references as HTML's tokenizer reads them in text:
//         "&eacute;", "&not" (legacy names without ";"), "&#128512;",
//         "&#x41;"; an "&" that starts no reference stays
//   json  "\uXXXX" escapes decoded where their character may stand
//         unescaped in a JSON string or a JavaScript string literal; the
//         document stays valid JSON, the literal stays whole
//
// Both are decoded from UTF-8 into UTF-8 and from UTF-16 into UTF-16, block
// by block, into a buffer of their own: a reference can give more bytes
// than it takes ("&nGt;", 5 bytes, gives 6). The bytes between escapes are
// copied unchanged, NULs and lone surrogates included.
#ifndef DECODE_ESCAPES_FORMAT_ESCAPES_H
#define DECODE_ESCAPES_FORMAT_ESCAPES_H

#include "decoder/decode_mode.h"
#include "html_references.h"
#include "utf8_escapes.h"

#include <cstddef>
#include <cstdint>

// What the escapes of one of these modes look like to the pass over a block.
struct FormatSyntax {
    DecodeMode mode;
    char16_t first;          // the unit that starts every escape; ASCII
    std::size_t carryUnits;  // the most units from `first` on that a block
                             // keeps for the next one, unsure of an escape
};

inline constexpr FormatSyntax FormatSyntaxes[] = {
    // "&", the longest name and ";", as in "&CounterClockwiseContourIntegral;".
    // A numeric reference of any length is carried as a value
    // (FormatDecodeState), its digits taken as they come.
    {DecodeMode::Html, u'&', 1 + LongestReferenceName},
    // A surrogate pair, "\uD83D\uDE00".
    {DecodeMode::Json, u'\\', 12},
};

inline constexpr std::size_t FormatSyntaxCount = sizeof FormatSyntaxes / sizeof FormatSyntaxes[0];

// Where the row of `mode` stands, or FormatSyntaxCount for a mode that is not
// one of these.
constexpr std::size_t FormatSyntaxIndex(DecodeMode mode)
{
    return RowIndexOf(FormatSyntaxes, mode);
}

// The row of `mode`, or null for a mode that is not one of these.
constexpr const FormatSyntax* FindFormatSyntax(DecodeMode mode)
{
    return FindRowOf(FormatSyntaxes, mode);
}

// The most units that any of these modes carries over.
constexpr std::size_t LongestFormatCarryUnits()
{
    return LongestCarryOf(FormatSyntaxes);
}

// The result of a block is at most this many times its length, plus
// FormatSlackUnits.
const std::size_t FormatGrowth = 2;
const std::size_t FormatSlackUnits = 8;

// What the decoding keeps from one block to the next.
struct FormatDecodeState {
    DecodeMode mode = DecodeMode::Html;
    // A numeric reference whose digits ran to the end of a block: its
    // digits are taken, its character comes when they end. So a reference
    // of any number of digits ("&#0000...65;") streams in constant memory.
    bool numberPending = false;
    std::uint32_t numberBase = 10;
    std::uint32_t numberValue = 0;  // at most ReferenceValueCap
    bool decodedAny = false;
};

// One instruction set's pass over a block of UTF-8 (well-formed, whole
// characters) or UTF-16 (units in the host's order): decodes in[0, count)
// into `out`, which has room for FormatGrowth * count + FormatSlackUnits
// units. Unless `atEnd` says that the text ends here, an escape that may
// reach past `count` is left for the next call (at most the mode's
// carryUnits). A mode without a row in FormatSyntaxes copies the text.
struct FormatKernel {
    BlockStep (*decodeUtf8)(FormatDecodeState& state, const unsigned char* in, std::size_t count, bool atEnd,
                            unsigned char* out);
    BlockStep (*decodeUtf16)(FormatDecodeState& state, const char16_t* in, std::size_t count, bool atEnd,
                             char16_t* out);
};

#endif
