// The pass of the html and json modes over a block, written once for every
// kernel and both code unit sizes. Each kernel file includes this header and
// makes its FormatKernel of DecodeFormatBlockFor<K, unsigned char> and
// DecodeFormatBlockFor<K, char16_t>; everything here has
// internal linkage, as in utf8_driver.h, so that no copy compiled for one
// instruction set can stand in for another.
//
// What a kernel K provides:
//   FindByte(bytes, from, count, byte)  the first `byte` in bytes[from, count), or count
//   FindUnit(units, from, count, unit)  the same for UTF-16 units
//   DecodesJsonGroups                   true when DecodeJsonGroups is there:
//   DecodeJsonGroups(in, i, count, out, o)
//                                       decodes "\u" escapes back to back
//                                       from in[i] into out[o], several at a
//                                       time, as far as each may stand
//                                       unescaped and has three UTF-8 bytes;
//                                       moves `i` and `o` past them
#ifndef DECODE_ESCAPES_FORMAT_DRIVER_H
#define DECODE_ESCAPES_FORMAT_DRIVER_H

#include "format_escapes.h"
#include "html_references.h"
#include "text_kernels/lowest_set_bit.h"

#include <cstring>
#include <utility>

namespace {

// The value of a hexadecimal digit, 16 for any other unit.
std::uint32_t HexDigitValue(std::uint32_t unit)
{
    if (unit - '0' < 10)
        return unit - '0';
    const std::uint32_t lower = unit | 0x20;
    return lower - 'a' < 6 ? lower - 'a' + 10 : 16;
}

bool IsAsciiAlphanumeric(std::uint32_t unit)
{
    return unit - '0' < 10 || (unit | 0x20) - 'a' < 26;
}

// Words of eight bytes, for the readers of UTF-8: a word holds the bytes at
// p, the first byte lowest, on any host. Each byte of a word is tested at
// once, as a 7-bit value, by sums that cannot carry into the next byte: a
// byte's top bit says whether it passed a bound.
const std::uint64_t EachByte = 0x0101010101010101u;
const std::uint64_t ByteTops = 0x80 * EachByte;

std::uint64_t LoadWord(const unsigned char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

// In the top bit of each byte of a word of ASCII, whether the byte is
// within [first, last]; the other bits are of no use.
std::uint64_t BytesWithin(std::uint64_t ascii, unsigned char first, unsigned char last)
{
    return (ascii + (0x80 - first) * EachByte) & ~(ascii + (0x7F - last) * EachByte);
}

// Likewise, for the word's bytes: an ASCII digit, and an ASCII letter up to
// `last` in either case, as long as the byte is ASCII.
std::uint64_t DigitBytes(std::uint64_t word)
{
    return BytesWithin(word & ~ByteTops, '0', '9');
}

std::uint64_t LetterBytes(std::uint64_t word, unsigned char last)
{
    return BytesWithin((word & ~ByteTops) | 0x20 * EachByte, 'a', last);
}

// The top bits of the word's bytes that are not ASCII with their top bits
// set in `marks`.
std::uint64_t UnmarkedBytes(std::uint64_t word, std::uint64_t marks)
{
    return (~marks | word) & ByteTops;
}

// The word's `bytes` lowest bytes (1 to 8), the others 0.
std::uint64_t LowBytes(std::uint64_t word, std::size_t bytes)
{
    return word & ~std::uint64_t{0} >> (64 - 8 * bytes);
}

// The digits of `Base` (10 or 16) that start the word, fewer than eight:
// their number and value; false when all eight bytes are digits. Each
// digit's value in its byte (a letter's low four bits are 1 for "a", so 9
// more), moved to the top bytes, so that the bytes below them are leading
// zeros; then each two neighbouring bytes, each two of those pairs and the
// two halves are summed, the lower the more significant.
template <std::uint32_t Base>
bool ReadDigitWord(std::uint64_t word, std::size_t& digits, std::uint32_t& value)
{
    const std::uint64_t letters = Base == 16 ? LetterBytes(word, 'f') & ~word & ByteTops : 0;
    const std::uint64_t stops = UnmarkedBytes(word, DigitBytes(word) | letters);
    if (stops == 0)
        return false;
    digits = LowestSetBit64(stops) / 8;
    if (digits == 0) {
        value = 0;
        return true;
    }
    std::uint64_t x = ((word & 0x0F * EachByte) + (letters >> 7) * 9) << (64 - 8 * digits);
    x = (x & 0x00FF00FF00FF00FFu) * Base + (x >> 8 & 0x00FF00FF00FF00FFu);
    x = (x & 0x0000FFFF0000FFFFu) * (Base * Base) + (x >> 16 & 0x0000FFFF0000FFFFu);
    x = (x & 0xFFFFFFFFu) * (Base * Base * Base * Base) + (x >> 32);
    value = static_cast<std::uint32_t>(x < ReferenceValueCap ? x : ReferenceValueCap);
    return true;
}

// What a reader made of the escape that starts at in[start].
struct EscapeRead {
    enum class Kind {
        NeedMore,       // it may reach past the units at hand: come back with more
        Literal,        // in[start, end) stays as it is
        Characters,     // in[start, end) gives `characters`
        NumberPending,  // in[start, count) begins a numeric reference that goes on
    };
    Kind kind = Kind::Literal;
    std::size_t end = 0;
    ReferenceCharacters characters;
};

EscapeRead Read(EscapeRead::Kind kind, std::size_t end)
{
    EscapeRead read;
    read.kind = kind;
    read.end = end;
    return read;
}

EscapeRead Characters(std::size_t end, std::uint32_t first, std::uint32_t second = 0)
{
    EscapeRead read = Read(EscapeRead::Kind::Characters, end);
    read.characters.first = first;
    read.characters.second = second;
    return read;
}

// The units at hand end at `at`: the escape needs more, unless the text ends.
EscapeRead AtTheEnd(bool atEnd, std::size_t literalEnd)
{
    return Read(atEnd ? EscapeRead::Kind::Literal : EscapeRead::Kind::NeedMore, literalEnd);
}

// The digits of a numeric reference from in[at]; the value stops growing at
// ReferenceValueCap. Returns past them.
template <std::uint32_t Base, class Unit>
std::size_t ReadDigitsOf(const Unit* in, std::size_t at, std::size_t count, std::uint32_t& value)
{
    std::uint32_t sum = value;
    for (; at < count; ++at) {
        const std::uint32_t unit = in[at];
        const std::uint32_t digit = Base == 16 ? HexDigitValue(unit) : unit - '0';
        if (digit >= Base)
            break;
        sum = sum * Base + digit;
        sum = sum > ReferenceValueCap ? ReferenceValueCap : sum;
    }
    value = sum;
    return at;
}

template <class Unit>
std::size_t ReadDigits(const Unit* in, std::size_t at, std::size_t count, std::uint32_t base, std::uint32_t& value)
{
    return base == 16 ? ReadDigitsOf<16>(in, at, count, value) : ReadDigitsOf<10>(in, at, count, value);
}

// The digits that start a numeric reference, from in[at]: ReadDigits from a
// value of 0, a word at a time where the text has one, since most numbers
// have fewer than eight digits.
std::size_t ReadFirstDigits(const unsigned char* in, std::size_t at, std::size_t count, std::uint32_t base,
                            std::uint32_t& value)
{
    std::size_t digits;
    if (count - at >= 8) {
        const std::uint64_t word = LoadWord(in + at);
        if (base == 16 ? ReadDigitWord<16>(word, digits, value) : ReadDigitWord<10>(word, digits, value))
            return at + digits;
    }
    value = 0;
    return ReadDigits(in, at, count, base, value);
}

std::size_t ReadFirstDigits(const char16_t* in, std::size_t at, std::size_t count, std::uint32_t base,
                            std::uint32_t& value)
{
    value = 0;
    return ReadDigits(in, at, count, base, value);
}

// The end of a numeric reference whose digits end at in[at] (or go on past
// `count`, when more text follows): its ";" is taken when it has one.
template <class Unit>
EscapeRead EndNumber(FormatDecodeState& state, const Unit* in, std::size_t at, std::size_t count, bool atEnd)
{
    if (at == count && !atEnd) {
        state.numberPending = true;
        return Read(EscapeRead::Kind::NumberPending, count);
    }
    state.numberPending = false;
    if (at < count && in[at] == ';')
        ++at;
    return Characters(at, NumericReferenceCharacter(state.numberValue));
}

// "&#" at in[start]: decimal digits, or "x" and hexadecimal ones. Without
// digits, what was read stays as it is.
template <class Unit>
EscapeRead ReadNumericReference(FormatDecodeState& state, const Unit* in, std::size_t start, std::size_t count,
                                bool atEnd)
{
    std::size_t at = start + 2;
    if (at == count)
        return AtTheEnd(atEnd, at);
    state.numberBase = 10;
    if ((in[at] | 0x20) == 'x') {
        state.numberBase = 16;
        if (++at == count)
            return AtTheEnd(atEnd, at);
    }
    const std::size_t digits = at;
    at = ReadFirstDigits(in, at, count, state.numberBase, state.numberValue);
    if (at == digits)
        return Read(EscapeRead::Kind::Literal, at);
    return EndNumber(state, in, at, count, atEnd);
}

// The run of letters and digits from in[from] and the unit after it, packed
// into a word, when the run is shorter than ShortNameBytes and ends before
// `count`: false otherwise.
bool PackShortRun(const unsigned char* in, std::size_t from, std::size_t count, std::uint64_t& packed,
                  std::size_t& length)
{
    static_assert(ShortNameBytes == sizeof(std::uint64_t), "a short name and the byte after it fill one word");
    if (count - from < 8)
        return false;
    const std::uint64_t word = LoadWord(in + from);
    const std::uint64_t stops = UnmarkedBytes(word, DigitBytes(word) | LetterBytes(word, 'z'));
    if (stops == 0)
        return false;
    length = LowestSetBit64(stops) / 8;
    const std::uint64_t end = stops & (0 - stops);  // the top bit of the byte after the run
    packed = word & ((end << 1) - 1);
    return true;
}

bool PackShortRun(const char16_t* in, std::size_t from, std::size_t count, std::uint64_t& packed, std::size_t& length)
{
    const std::size_t stop = count - from > ShortNameBytes ? from + ShortNameBytes : count;
    std::size_t at = from;
    packed = 0;
    for (; at < stop && IsAsciiAlphanumeric(in[at]); ++at)
        packed |= static_cast<std::uint64_t>(in[at]) << 8 * (at - from);
    length = at - from;
    if (at == stop)
        return false;
    if (in[at] == ';')
        packed |= std::uint64_t{';'} << 8 * length;
    return true;
}

// Most references name a short name whole, ";" and all ("&amp;", "&eacute;"),
// or a legacy name without it ("&amp "): those are found by one lookup of
// the run packed into a word. False, with `read` untouched, for any other
// run, one whose end is not in the units at hand, or none at all.
template <class Unit>
bool ReadShortName(const Unit* in, std::size_t from, std::size_t count, EscapeRead& read)
{
    std::uint64_t packed;
    std::size_t length;
    if (!PackShortRun(in, from, count, packed, length) || length == 0)
        return false;
    // The unit after the run is in the word: it stays there only as ";".
    const bool semicolon = (packed >> 8 * length) == ';';
    if (!semicolon)
        packed = LowBytes(packed, length);
    if (!FindShortName(packed, read.characters))
        return false;
    read.kind = EscapeRead::Kind::Characters;
    read.end = from + length + semicolon;
    return true;
}

// A letter or digit after the "&" at in[start]: the longest name of the list
// that the text there starts with.
template <class Unit>
EscapeRead ReadNamedReference(const Unit* in, std::size_t start, std::size_t count, bool atEnd)
{
    const std::size_t from = start + 1;
    std::size_t at = from;
    char name[LongestReferenceName + 1];
    while (at < count && at - from < LongestReferenceName && IsAsciiAlphanumeric(in[at])) {
        name[at - from] = static_cast<char>(in[at]);
        ++at;
    }
    const std::size_t length = at - from;
    if (at == count && length < LongestReferenceName && !atEnd)
        return Read(EscapeRead::Kind::NeedMore, start);
    // A run as long as the longest name has no room for its ";".
    const bool semicolon = length < LongestReferenceName && at < count && in[at] == ';';
    name[length] = ';';
    EscapeRead read;
    const std::size_t matched = MatchNamedReference(name, length, semicolon, read.characters);
    if (matched == 0)
        return Read(EscapeRead::Kind::Literal, at);  // the run holds no "&"
    read.kind = EscapeRead::Kind::Characters;
    read.end = from + matched;
    return read;
}

template <class Unit>
EscapeRead ReadHtmlReference(FormatDecodeState& state, const Unit* in, std::size_t start, std::size_t count, bool atEnd)
{
    const std::size_t next = start + 1;
    if (next == count)
        return AtTheEnd(atEnd, next);
    if (in[next] == '#')
        return ReadNumericReference(state, in, start, count, atEnd);
    EscapeRead read;
    if (ReadShortName(in, next, count, read))
        return read;
    if (IsAsciiAlphanumeric(in[next]))
        return ReadNamedReference(in, start, count, atEnd);
    return Read(EscapeRead::Kind::Literal, next);
}

// The value of the four hexadecimal digits at in[at], or 0x10000 when they
// are not four such digits.
template <class Unit>
std::uint32_t ReadFourHex(const Unit* in, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 4 | HexDigitValue(in[at + i]);
    const bool digits = HexDigitValue(in[at]) < 16 && HexDigitValue(in[at + 1]) < 16 &&
                        HexDigitValue(in[at + 2]) < 16 && HexDigitValue(in[at + 3]) < 16;
    return digits ? value : 0x10000;
}

// A character that may stand unescaped in a JSON string or a JavaScript
// string literal and that a person would rather read: not '"', '\' or a
// control below U+0020, which JSON keeps escaped; not '\'', which ends a
// single-quoted JavaScript literal; not U+2028 or U+2029, which end a line
// in JavaScript before ES2019 and in many editors; not half of a surrogate
// pair.
bool MayStandUnescapedInJson(std::uint32_t character)
{
    return character >= 0x20 && character != '"' && character != '\'' && character != '\\' && character != 0x2028 &&
           character != 0x2029 && (character < 0xD800 || character > 0xDFFF);
}

// "\" at in[start]: "\u" and four hexadecimal digits are decoded when their
// character may stand unescaped, a high and a low surrogate back to back as
// the one character they form; every other escape is a pair that stays, so
// that "\\u0041" stays too.
template <class Unit>
EscapeRead ReadJsonEscape(const Unit* in, std::size_t start, std::size_t count, bool atEnd)
{
    if (start + 1 == count)
        return AtTheEnd(atEnd, start + 1);
    if (in[start + 1] != 'u')
        return Read(EscapeRead::Kind::Literal, start + 2);
    if (count - start < 6)
        return AtTheEnd(atEnd, start + 2);
    const std::uint32_t value = ReadFourHex(in, start + 2);
    if (value >= 0xD800 && value <= 0xDBFF) {
        if (count - start < 12 && !atEnd)
            return Read(EscapeRead::Kind::NeedMore, start);
        if (count - start >= 12 && in[start + 6] == '\\' && in[start + 7] == 'u') {
            const std::uint32_t low = ReadFourHex(in, start + 8);
            if (low >= 0xDC00 && low <= 0xDFFF)
                return Characters(start + 12, 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00));
        }
    }
    if (value > 0xFFFF || !MayStandUnescapedInJson(value))
        return Read(EscapeRead::Kind::Literal, value > 0xFFFF ? start + 2 : start + 6);
    return Characters(start + 6, value);
}

// PutUtf8, inline: references back to back write little else.
std::size_t PutCharacter(std::uint32_t character, unsigned char* out)
{
    if (character < 0x80) {
        out[0] = static_cast<unsigned char>(character);
        return 1;
    }
    if (character < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | character >> 6);
        out[1] = static_cast<unsigned char>(0x80 | (character & 0x3F));
        return 2;
    }
    if (character < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | character >> 12);
        out[1] = static_cast<unsigned char>(0x80 | (character >> 6 & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (character & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | character >> 18);
    out[1] = static_cast<unsigned char>(0x80 | (character >> 12 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (character >> 6 & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (character & 0x3F));
    return 4;
}

std::size_t PutCharacter(std::uint32_t character, char16_t* out)
{
    if (character < 0x10000) {
        out[0] = static_cast<char16_t>(character);
        return 1;
    }
    out[0] = static_cast<char16_t>(0xD800 + ((character - 0x10000) >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (character & 0x3FF));
    return 2;
}

template <class K>
std::size_t FindFirst(const unsigned char* in, std::size_t from, std::size_t count, unsigned char byte)
{
    return K::FindByte(in, from, count, byte);
}

template <class K>
std::size_t FindFirst(const char16_t* in, std::size_t from, std::size_t count, unsigned char unit)
{
    return K::FindUnit(in, from, count, unit);
}

template <class K, DecodeMode Mode, class Unit>
BlockStep DecodeFormatBlock(FormatDecodeState& state, const Unit* in, std::size_t count, bool atEnd, Unit* out)
{
    static_assert(FormatSyntaxIndex(Mode) < FormatSyntaxCount, "a mode without a row in FormatSyntaxes");
    constexpr const FormatSyntax* syntax = &FormatSyntaxes[FormatSyntaxIndex(Mode)];
    const unsigned char first = static_cast<unsigned char>(syntax->first);
    std::size_t i = 0;
    std::size_t o = 0;
    EscapeRead read;
    if (state.numberPending) {
        read = EndNumber(state, in, ReadDigits(in, 0, count, state.numberBase, state.numberValue), count, atEnd);
        if (read.kind == EscapeRead::Kind::NumberPending)
            return BlockStep{count, 0};
        o += PutCharacter(read.characters.first, out);
        state.decodedAny = true;
        i = read.end;
    }
    bool decoded = false;  // kept here, since a write to `out` may be one to `state`
    for (;;) {
        // Escapes back to back need no search.
        const std::size_t start = i < count && in[i] == first ? i : FindFirst<K>(in, i, count, first);
        std::memcpy(out + o, in + i, (start - i) * sizeof(Unit));
        o += start - i;
        i = start;
        if (start == count)
            break;
        if constexpr (Mode == DecodeMode::Json && sizeof(Unit) == 1 && K::DecodesJsonGroups) {
            // Where a second escape follows the first, there may be a group.
            if (count - start > 6 && in[start + 6] == first) {
                K::DecodeJsonGroups(in, i, count, out, o);
                if (i != start) {
                    decoded = true;
                    continue;
                }
            }
        }
        if constexpr (Mode == DecodeMode::Html)
            read = ReadHtmlReference(state, in, start, count, atEnd);
        else if constexpr (Mode == DecodeMode::Json)
            read = ReadJsonEscape(in, start, count, atEnd);
        if (read.kind == EscapeRead::Kind::NeedMore)
            break;
        if (read.kind == EscapeRead::Kind::Literal) {
            std::memcpy(out + o, in + start, (read.end - start) * sizeof(Unit));
            o += read.end - start;
        } else if (read.kind == EscapeRead::Kind::Characters) {
            o += PutCharacter(read.characters.first, out + o);
            if (read.characters.second != 0)
                o += PutCharacter(read.characters.second, out + o);
            decoded = true;
        }
        i = read.end;
        if (read.kind == EscapeRead::Kind::NumberPending)
            break;
    }
    state.decodedAny = state.decodedAny || decoded;
    return BlockStep{i, o};
}

// The pass of the state's mode, compiled for every row of FormatSyntaxes.
template <class K, class Unit, std::size_t... Row>
BlockStep DecodeFormatBlockForRow(FormatDecodeState& state, const Unit* in, std::size_t count, bool atEnd, Unit* out,
                                  std::index_sequence<Row...>)
{
    BlockStep step{count, count};
    const bool known =
        ((state.mode == FormatSyntaxes[Row].mode
              ? (step = DecodeFormatBlock<K, FormatSyntaxes[Row].mode>(state, in, count, atEnd, out), true)
              : false) ||
         ...);
    if (!known)
        std::memcpy(out, in, count * sizeof(Unit));
    return step;
}

template <class K, class Unit>
BlockStep DecodeFormatBlockFor(FormatDecodeState& state, const Unit* in, std::size_t count, bool atEnd, Unit* out)
{
    return DecodeFormatBlockForRow<K>(state, in, count, atEnd, out, std::make_index_sequence<FormatSyntaxCount>());
}

}  // namespace

#endif
