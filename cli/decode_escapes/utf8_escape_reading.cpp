#include "utf8_escape_reading.h"

#include "decoder/escape_decoder.h"
#include "utf8.h"

namespace {

// Room for the units that a field reader of any mode may look at, one more
// when the last character gives two, and a terminator.
constexpr std::size_t FieldRoom()
{
    std::size_t longest = 0;
    for (const EscapeSyntax& syntax : EscapeSyntaxes)
        longest = syntax.readerReach > longest ? syntax.readerReach : longest;
    return longest + 2;
}

unsigned HexDigit(unsigned char byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if (byte >= 'a' && byte <= 'f')
        return byte - 'a' + 10u;
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10u;
    return 16;
}

// The usual shapes, read at a glance: a full field of hexadecimal digits
// (names), 1 to a full field of decimal digits and the closer (references).
// For these the field reader gives the number as it stands, so only what is
// not one of them needs the reader.
bool ReadPlainField(const EscapeSyntax& syntax, const unsigned char* p, const unsigned char* end, std::uint32_t& value,
                    std::size_t& length)
{
    std::uint32_t sum = 0;
    if (syntax.mode == DecodeMode::Ucn) {
        if (static_cast<std::size_t>(end - p) < syntax.fieldUnits)
            return false;
        for (std::size_t i = 0; i < syntax.fieldUnits; ++i) {
            const unsigned digit = HexDigit(p[i]);
            if (digit > 15)
                return false;
            sum = sum * 16 + digit;
        }
        length = syntax.fieldUnits;
    } else if (syntax.mode == DecodeMode::CharRef) {
        std::size_t digits = 0;
        for (; digits < syntax.fieldUnits && p + digits < end && p[digits] >= '0' && p[digits] <= '9'; ++digits)
            sum = sum * 10 + (p[digits] - '0');
        if (digits == 0 || p + digits == end || p[digits] != syntax.closer)
            return false;
        length = digits + 1;
    } else {
        return false;
    }
    value = sum;
    return (sum & 0xFFFF) != 0;
}

// A closer after the field's first unit ends the field: the reader looks no
// further, whatever follows.
bool CloserEndsField(const EscapeSyntax& syntax, const char16_t* units, std::size_t count)
{
    for (std::size_t i = 1; syntax.closer != 0 && i < count; ++i) {
        if (units[i] == syntax.closer)
            return true;
    }
    return false;
}

void PutLone(Utf8DecodeState& state, unsigned char* bytes, std::size_t& out)
{
    if (state.surrogates.count++ == 0)
        state.surrogates.firstOffset = state.writtenBefore + out;
    out += PutUtf8(ReplacementCharacter, bytes + out);
}

}  // namespace

bool ReadUtf8Escape(const EscapeSyntax& syntax, const unsigned char* bytes, std::size_t start, std::size_t count,
                    bool atEnd, Utf8Escape& escape)
{
    const std::size_t fieldStart = start + PrefixUnits;  // the prefix is ASCII
    std::uint32_t value = 0;
    std::size_t length = 0;
    if (ReadPlainField(syntax, bytes + fieldStart, bytes + count, value, length)) {
        escape.unit = static_cast<char16_t>(value);
        escape.end = fieldStart + length;
        return true;
    }

    // The units after the prefix as far as the reader may look; a NUL ends
    // the part, and the reader stops there as at the end of a text.
    char16_t units[FieldRoom()];
    std::size_t ends[FieldRoom()];  // the byte after each unit's character
    const std::size_t reach = syntax.readerReach;
    std::size_t made = 0;
    std::size_t i = fieldStart;
    bool whole = false;
    while (made < reach && i < count && !whole) {
        if (bytes[i] == 0) {
            whole = true;
            break;
        }
        const std::size_t sequence = Utf8SequenceLength(bytes[i]);
        const std::size_t before = made;
        made = static_cast<std::size_t>(DecodeUtf8Sequence(bytes + i, sequence, units + made) - units);
        i += sequence;
        for (std::size_t k = before; k < made; ++k)
            ends[k] = i;
    }
    whole = whole || made >= reach || atEnd || CloserEndsField(syntax, units, made);
    if (!whole)
        return false;
    units[made] = 0;

    const char16_t* cursor = units;
    value = syntax.readField(cursor);
    const std::size_t taken = static_cast<std::size_t>(cursor - units);
    escape.unit = static_cast<char16_t>(value);
    escape.end = taken == 0 ? fieldStart : ends[taken - 1];
    // A field that ends between the halves of a character takes the first.
    const bool split = taken > 0 && taken < made && ends[taken - 1] == ends[taken];
    escape.splitLow = split ? units[taken] : 0;
    return true;
}

void PutUnitAsUtf8(Utf8DecodeState& state, char16_t unit, unsigned char* bytes, std::size_t& out)
{
    if (state.pendingHigh != 0) {
        if (IsLowSurrogate(unit)) {
            out += PutUtf8(JoinSurrogates(state.pendingHigh, unit), bytes + out);
            state.pendingHigh = 0;
            return;
        }
        FlushPendingHigh(state, bytes, out);
    }
    if (IsHighSurrogate(unit))
        state.pendingHigh = unit;
    else if (IsLowSurrogate(unit))
        PutLone(state, bytes, out);
    else
        out += PutUtf8(unit, bytes + out);
}

void FlushPendingHigh(Utf8DecodeState& state, unsigned char* bytes, std::size_t& out)
{
    if (state.pendingHigh == 0)
        return;
    state.pendingHigh = 0;
    PutLone(state, bytes, out);
}
