#include "utf8_escape_reading.h"

#include "escape_decoder.h"
#include "utf8.h"

namespace {

// The units after a prefix that the field reader may look at: in mode 0 a
// field of up to 5 and the unit after it, in mode 1 a field of up to 4.
const std::size_t ReaderReach[2] = {6, 4};

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

// The usual shapes, read at a glance: 1 to 5 decimal digits and ";" (mode
// 0), 4 hexadecimal digits (mode 1). For these the field reader gives the
// number as it stands, so only what is not one of them needs the reader.
bool ReadPlainField(std::int32_t mode, const unsigned char* p, const unsigned char* end, std::uint32_t& value,
                    std::size_t& length)
{
    std::uint32_t sum = 0;
    if (mode == DecodeModeUcn) {
        if (end - p < 4)
            return false;
        for (std::size_t i = 0; i < 4; ++i) {
            const unsigned digit = HexDigit(p[i]);
            if (digit > 15)
                return false;
            sum = sum * 16 + digit;
        }
        length = 4;
    } else {
        std::size_t digits = 0;
        for (; digits < 5 && p + digits < end && p[digits] >= '0' && p[digits] <= '9'; ++digits)
            sum = sum * 10 + (p[digits] - '0');
        if (digits == 0 || p + digits == end || p[digits] != ';')
            return false;
        length = digits + 1;
    }
    value = sum;
    return (sum & 0xFFFF) != 0;
}

// In mode 0 a ";" after the field's first unit ends the field: the reader
// looks no further, whatever follows.
bool SemicolonEndsField(const char16_t* units, std::size_t count)
{
    for (std::size_t i = 1; i < count; ++i) {
        if (units[i] == u';')
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

bool ReadUtf8Escape(std::int32_t mode, const unsigned char* bytes, std::size_t start, std::size_t count, bool atEnd,
                    Utf8Escape& escape)
{
    const std::size_t fieldStart = start + 2;
    std::uint32_t value = 0;
    std::size_t length = 0;
    if (ReadPlainField(mode, bytes + fieldStart, bytes + count, value, length)) {
        escape.unit = static_cast<char16_t>(value);
        escape.end = fieldStart + length;
        return true;
    }

    // The units after the prefix as far as the reader may look; a NUL ends
    // the part, and the reader stops there as at the end of a text.
    char16_t units[8];
    std::size_t ends[8];  // the byte after each unit's character
    const std::size_t reach = ReaderReach[mode];
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
        made = static_cast<std::size_t>(PutUtf8Units(bytes + i, sequence, units + made) - units);
        i += sequence;
        for (std::size_t k = before; k < made; ++k)
            ends[k] = i;
    }
    whole = whole || made >= reach || atEnd || (mode == DecodeModeCharRef && SemicolonEndsField(units, made));
    if (!whole)
        return false;
    units[made] = 0;

    const char16_t* cursor = units;
    value = mode == DecodeModeCharRef ? ReadCharRefField(cursor) : ReadUcnField(cursor);
    const std::size_t taken = static_cast<std::size_t>(cursor - units);
    escape.unit = static_cast<char16_t>(value);
    escape.end = taken == 0 ? fieldStart : ends[taken - 1];
    // A field that ends between the halves of a character takes the first.
    const bool split = taken > 0 && taken < made && ends[taken - 1] == ends[taken];
    escape.splitLow = split ? units[taken] : 0;
    return true;
}

void PutUtf8Unit(Utf8DecodeState& state, char16_t unit, unsigned char* bytes, std::size_t& out)
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
