#include "utf8_escapes.h"

#include "escape_decoder.h"
#include "utf8.h"

#include <cstring>

namespace {

const unsigned char PrefixFirst[2] = {'&', '\\'};
const unsigned char PrefixSecond[2] = {'#', 'u'};

// The units after a prefix that the field reader may look at: in mode 0 a
// field of up to 5 and the unit after it, in mode 1 a field of up to 4.
const std::size_t ReaderReach[2] = {6, 4};

// Bytes after a decoded high surrogate within which whatever follows it, an
// escape of any shape included, is whole: at most 2 + 19 bytes.
const std::size_t PartnerReach = 32;

std::size_t FindByte(const unsigned char* bytes, std::size_t from, std::size_t count, unsigned char byte)
{
    const void* found = std::memchr(bytes + from, byte, count - from);
    return found == nullptr ? count : static_cast<std::size_t>(static_cast<const unsigned char*>(found) - bytes);
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

}  // namespace

struct Utf8EscapeDecoder::Escape {
    char16_t unit = 0;      // what the escape names; 0: it stays as it stood
    char16_t splitLow = 0;  // the second half of a character whose first half ended the field
    std::size_t end = 0;    // the byte after the escape
};

bool Utf8EscapeDecoder::AtPrefix(const unsigned char* bytes, std::size_t at) const
{
    return bytes[at] == PrefixFirst[mode_] && bytes[at + 1] == PrefixSecond[mode_];
}

// Reads the escape whose prefix starts at `start`. False when the bytes up
// to `count` do not hold all that the field reader may look at, and more
// text follows.
bool Utf8EscapeDecoder::ReadEscape(const unsigned char* bytes, std::size_t start, std::size_t count, bool atEnd,
                                   Escape& escape)
{
    const std::size_t fieldStart = start + 2;
    std::uint32_t value = 0;
    std::size_t length = 0;
    if (ReadPlainField(mode_, bytes + fieldStart, bytes + count, value, length)) {
        escape.unit = static_cast<char16_t>(value);
        escape.end = fieldStart + length;
        return true;
    }

    // The units after the prefix as far as the reader may look; a NUL ends
    // the part, and the reader stops there as at the end of a text.
    char16_t units[8];
    std::size_t ends[8];  // the byte after each unit's character
    const std::size_t reach = ReaderReach[mode_];
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
    whole = whole || made >= reach || atEnd || (mode_ == DecodeModeCharRef && SemicolonEndsField(units, made));
    if (!whole)
        return false;
    units[made] = 0;

    const char16_t* cursor = units;
    value = mode_ == DecodeModeCharRef ? ReadCharRefField(cursor) : ReadUcnField(cursor);
    const std::size_t taken = static_cast<std::size_t>(cursor - units);
    escape.unit = static_cast<char16_t>(value);
    escape.end = taken == 0 ? fieldStart : ends[taken - 1];
    // A field that ends between the halves of a character takes the first.
    const bool split = taken > 0 && taken < made && ends[taken - 1] == ends[taken];
    escape.splitLow = split ? units[taken] : 0;
    return true;
}

BlockStep Utf8EscapeDecoder::Decode(unsigned char* bytes, std::size_t count, bool atEnd)
{
    const unsigned char first = PrefixFirst[mode_];
    std::size_t in = 0;
    std::size_t out = 0;  // never passes `in`: the result grows behind the reading
    for (;;) {
        const std::size_t start = FindByte(bytes, in, count, first);
        if (start > in) {
            FlushPending(bytes, out);
            std::memmove(bytes + out, bytes + in, start - in);
            out += start - in;
            in = start;
        }
        if (start == count || (start + 1 == count && !atEnd))
            break;
        if (start + 1 == count || !AtPrefix(bytes, start)) {
            FlushPending(bytes, out);
            bytes[out++] = first;
            in = start + 1;
            continue;
        }
        Escape escape;
        if (!ReadEscape(bytes, start, count, atEnd, escape))
            break;
        if (escape.unit == 0) {
            FlushPending(bytes, out);  // the escape stays as it stood
            std::memmove(bytes + out, bytes + start, escape.end - start);
            out += escape.end - start;
            in = escape.end;
            continue;
        }
        // A high surrogate joins the unit after it: that must be in this block.
        if (IsHighSurrogate(escape.unit) && !atEnd && count - escape.end < PartnerReach)
            break;
        decodedAny_ = true;
        PutUnit(escape.unit, bytes, out);
        if (escape.splitLow != 0)
            PutUnit(escape.splitLow, bytes, out);
        in = escape.end;
    }
    if (atEnd)
        FlushPending(bytes, out);
    BlockStep step;
    step.consumed = in;
    step.written = out;
    writtenBefore_ += out;
    return step;
}

void Utf8EscapeDecoder::PutUnit(char16_t unit, unsigned char* bytes, std::size_t& out)
{
    if (pendingHigh_ != 0) {
        if (IsLowSurrogate(unit)) {
            out += PutUtf8(JoinSurrogates(pendingHigh_, unit), bytes + out);
            pendingHigh_ = 0;
            return;
        }
        FlushPending(bytes, out);
    }
    if (IsHighSurrogate(unit))
        pendingHigh_ = unit;
    else if (IsLowSurrogate(unit))
        PutLone(bytes, out);
    else
        out += PutUtf8(unit, bytes + out);
}

void Utf8EscapeDecoder::FlushPending(unsigned char* bytes, std::size_t& out)
{
    if (pendingHigh_ == 0)
        return;
    pendingHigh_ = 0;
    PutLone(bytes, out);
}

void Utf8EscapeDecoder::PutLone(unsigned char* bytes, std::size_t& out)
{
    if (surrogates_.count++ == 0)
        surrogates_.firstOffset = writtenBefore_ + out;
    out += PutUtf8(ReplacementCharacter, bytes + out);
}
