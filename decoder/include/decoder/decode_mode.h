// The kinds of escape that the decoder reads, and the one home of their
// syntax: a row per mode says what its escapes look like, and every pass
// (the decoder's kernels, the command-line tool's UTF-8 and UTF-16 passes)
// reads the row instead of knowing the shapes itself.
//
// Adding a mode takes an enumerator, its row in EscapeSyntaxes and its field
// reader; the passes are compiled for every row.
#ifndef DECODER_DECODE_MODE_H
#define DECODER_DECODE_MODE_H

#include <cstddef>
#include <cstdint>

// The editor's two modes keep the numbers under which its settings store
// them. The plug-in holds the stored number as it stands, in a module-wide
// variable also named DecodeMode: where both are seen the variable hides
// this name, but DecodeMode::Ucn still names the enumerator.
enum class DecodeMode : std::int32_t {
    CharRef = 0,  // character references, "&#26085;"
    Ucn = 1,      // universal character names, "\u65e5"
    // The command-line tool's own modes, for the formats its users hold.
    // Their escapes have no field of fixed length, so they have no row here
    // and the decoder passes leave a text unchanged for them; their rows
    // are the tool's (FormatSyntaxes in format_escapes.h).
    Html = 2,  // every character reference of HTML, "&eacute;", "&#x1F600;"
    Json = 3,  // "\u65e5" in JSON, kept valid
};

// Tables of rows keyed by mode, this one's and the command-line tool's: the
// place of `mode`'s row, or the table's length when it has none. An index
// rather than a pointer, so that a compile-time check of it holds in every
// build (a sanitized one does not fold a pointer's comparison with null).
template <class Row, std::size_t Count>
constexpr std::size_t RowIndexOf(const Row (&rows)[Count], DecodeMode mode)
{
    std::size_t index = 0;
    while (index < Count && rows[index].mode != mode)
        ++index;
    return index;
}

// The row of `mode` in such a table, or null.
template <class Row, std::size_t Count>
constexpr const Row* FindRowOf(const Row (&rows)[Count], DecodeMode mode)
{
    const std::size_t index = RowIndexOf(rows, mode);
    return index < Count ? &rows[index] : nullptr;
}

// The most units that any row of such a table carries over from one block
// to the next.
template <class Row, std::size_t Count>
constexpr std::size_t LongestCarryOf(const Row (&rows)[Count])
{
    std::size_t longest = 0;
    for (const Row& row : rows)
        longest = row.carryUnits > longest ? row.carryUnits : longest;
    return longest;
}

// Field readers, one per mode. `cursor` stands just after a prefix; each
// reader copies its field into a local buffer of 6 units, moves `cursor` past
// every unit it took and returns the field's value, or 0 when there is
// nothing to convert.
std::uint32_t ReadCharRefField(const char16_t*& cursor);
std::uint32_t ReadUcnField(const char16_t*& cursor);

// Every prefix is two units long.
inline constexpr std::size_t PrefixUnits = 2;

// What the escapes of one mode look like.
struct EscapeSyntax {
    DecodeMode mode;
    char16_t prefix[PrefixUnits];  // matched unit for unit, with case; ASCII
    std::size_t fieldUnits;        // the longest field after the prefix
    char16_t closer;               // 0, or the unit that ends a field from its second
                                   // unit on and must follow it
    int base;                      // of the number in the field
    std::size_t plainUnits;        // the usual escape whole: prefix, a full field of
                                   // digits, the closer
    std::size_t readerReach;       // units after the prefix that the reader may look at
    std::size_t carryUnits;        // from a prefix's first unit to the last one that
                                   // its reader may look at: a block that ends
                                   // closer than this after a prefix keeps the
                                   // escape for the next block
    std::uint32_t (*readField)(const char16_t*& cursor);
};

inline constexpr EscapeSyntax EscapeSyntaxes[] = {
    // "&#", 1 to 5 units and ";"; the field stops at ";" and must be followed
    // by one.
    {DecodeMode::CharRef, {u'&', u'#'}, 5, u';', 10, 2 + 5 + 1, 5 + 1, 2 + 5 + 1, ReadCharRefField},
    // "\u" and 1 to 4 units, fewer only at the end of the text.
    {DecodeMode::Ucn, {u'\\', u'u'}, 4, 0, 16, 2 + 4, 4, 2 + 4, ReadUcnField},
};

inline constexpr std::size_t EscapeSyntaxCount = sizeof EscapeSyntaxes / sizeof EscapeSyntaxes[0];

// The place of `mode`'s row in EscapeSyntaxes, or EscapeSyntaxCount for a
// value that names no mode.
constexpr std::size_t EscapeSyntaxIndex(DecodeMode mode)
{
    return RowIndexOf(EscapeSyntaxes, mode);
}

// The row of `mode`, or null for a value that names no mode.
constexpr const EscapeSyntax* FindEscapeSyntax(DecodeMode mode)
{
    return FindRowOf(EscapeSyntaxes, mode);
}

// The row of a mode known at compile time.
template <DecodeMode Mode>
constexpr const EscapeSyntax& SyntaxOf()
{
    static_assert(EscapeSyntaxIndex(Mode) < EscapeSyntaxCount, "a mode without a row in EscapeSyntaxes");
    return EscapeSyntaxes[EscapeSyntaxIndex(Mode)];
}

// The most units that any mode carries over from one block to the next.
constexpr std::size_t LongestCarryUnits()
{
    return LongestCarryOf(EscapeSyntaxes);
}

#endif
