// The decoding pass, written once for every kernel. Each kernel file
// includes this header and instantiates DecodeWith<K> with its own block
// operations, so that the whole pass is compiled for that file's
// instruction set.
//
// Everything here has internal linkage, as in the kernels' shared headers
// (text_kernels/block_reads.h).
//
// What a kernel K provides:
//   BlockUnits, HitBits       an aligned block of BlockUnits units; a hit
//                             mask has HitBits bits per unit
//   Hits(block, unit)         the units of the aligned block that are `unit`
//                             or 0, as a mask whose lowest set bit is exact
//   StretchUnits              a multiple of BlockUnits
//   StretchHits(stretch, unit) true when the aligned stretch holds `unit` or 0
//   CharRefGroups, UcnGroups  its group decoders for each mode, widest first:
//                             Groups<G...>, and Groups<> for none
//   ReadsCharRefAtOnce        true when ReadCharRef is there:
//   ReadCharRef(cursor, value) ReadPlainCharRef with a plain reference's
//                             units readable from the prefix, cursor - 2
// A group decoder (GroupDecoder below) decodes a number of plain escapes
// back to back at `p` into as many units at `out`; false, with nothing
// written, when any of them has another shape or a value whose low 16 bits
// are 0.
#ifndef DECODER_DECODE_DRIVER_H
#define DECODER_DECODE_DRIVER_H

#include "decoder/escape_decoder.h"
#include "text_kernels/block_reads.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

namespace {

template <DecodeMode Mode>
bool AtPrefix(const char16_t* p)
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<Mode>();
    return p[0] == syntax.prefix[0] && p[1] == syntax.prefix[1];
}

// Hexadecimal value of the ASCII units, 16 for every other one.
struct HexTable {
    unsigned char value[128];
    constexpr HexTable() : value()
    {
        for (unsigned unit = 0; unit < 128; ++unit) {
            const unsigned digit = unit >= '0' && unit <= '9'   ? unit - '0'
                                   : unit >= 'A' && unit <= 'F' ? unit - 'A' + 10
                                   : unit >= 'a' && unit <= 'f' ? unit - 'a' + 10
                                                                : 16;
            value[unit] = static_cast<unsigned char>(digit);
        }
    }
};
constexpr HexTable Hex;

unsigned HexValue(char16_t unit)
{
    return unit < 128 ? Hex.value[unit] : 16;
}

// The usual shape "&#" digits ";" read unit by unit; nothing past the first
// unit that is no digit is read. Returns false for any other shape, which
// ReadCharRefField then reads; both give the same value and end.
bool ReadPlainCharRef(const char16_t*& cursor, std::uint32_t& value)
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<DecodeMode::CharRef>();
    const char16_t* p = cursor;
    std::uint32_t sum = 0;
    std::size_t count = 0;
    for (; count < syntax.fieldUnits; ++count) {
        const unsigned digit = static_cast<unsigned>(p[count]) - u'0';
        if (digit > 9)
            break;
        sum = sum * 10 + digit;
    }
    if (count == 0 || p[count] != syntax.closer)
        return false;
    cursor = p + count + 1;
    value = sum;
    return true;
}

// The usual shape "\u" and four hexadecimal digits, read unit by unit.
bool ReadPlainUcn(const char16_t*& cursor, std::uint32_t& value)
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<DecodeMode::Ucn>();
    const char16_t* p = cursor;
    std::uint32_t sum = 0;
    for (std::size_t count = 0; count < syntax.fieldUnits; ++count) {
        const unsigned digit = HexValue(p[count]);
        if (digit > 15)
            return false;
        sum = sum * 16 + digit;
    }
    cursor = p + syntax.fieldUnits;
    value = sum;
    return true;
}

// Copies `count` units, from one to two words' worth, with two loads that
// may overlap, both done before the stores.
template <class Word>
void CopyTwoWords(char16_t* out, const char16_t* from, std::size_t count)
{
    const std::size_t units = sizeof(Word) / sizeof(char16_t);
    Word head;
    Word tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + count - units, sizeof tail);
    std::memcpy(out, &head, sizeof head);
    std::memcpy(out + count - units, &tail, sizeof tail);
}

// Moves [from, to) down to `out` and returns the end of the copy. `out` never
// lies after `from`. Short runs, as between escapes close together, are
// copied inline.
char16_t* MoveDown(char16_t* out, const char16_t* from, const char16_t* to)
{
    const std::size_t count = static_cast<std::size_t>(to - from);
    if (out == from)
        return out + count;
    if (count >= 4 && count <= 8)
        CopyTwoWords<std::uint64_t>(out, from, count);
    else if (count >= 2 && count < 4)
        CopyTwoWords<std::uint32_t>(out, from, count);
    else if (count == 1)
        *out = *from;
    else if (count != 0)
        std::memmove(out, from, count * sizeof(char16_t));
    return out + count;
}

// The first unit at or after `p` that is `unit` or ends the text: the
// aligned blocks up to the next aligned stretch, then whole stretches, then
// the blocks of the stretch that hits. No read crosses a page.
template <class K>
const char16_t* FindUnitOrEnd(const char16_t* p, char16_t unit)
{
    const char16_t* block = AlignDown(p, K::BlockUnits);
    auto mask = K::Hits(block, unit) >> (K::HitBits * static_cast<unsigned>(p - block));
    if (mask != 0)
        return p + LowestSetBit(mask) / K::HitBits;
    for (block += K::BlockUnits;; block += K::BlockUnits) {
        if (IsAligned(block, K::StretchUnits)) {
            while (!K::StretchHits(block, unit))
                block += K::StretchUnits;
        }
        mask = K::Hits(block, unit);
        if (mask != 0)
            return block + LowestSetBit(mask) / K::HitBits;
    }
}

// True when a unit in [p, end) ends the text; `end` is aligned to a page
// and a few blocks after `p`.
template <class K>
bool EndsBefore(const char16_t* p, const char16_t* end)
{
    const char16_t* block = AlignDown(p, K::BlockUnits);
    auto ends = K::Hits(block, 0) >> (K::HitBits * static_cast<unsigned>(p - block));
    for (block += K::BlockUnits; block < end; block += K::BlockUnits)
        ends |= K::Hits(block, 0);
    return ends != 0;
}

// How far whole vectors may be read: to the end of the last page known to
// hold units of the text. A group of escapes is read without first looking
// for the terminator in it: a terminator fails the group's shape anyway.
template <class K>
class ReadableText {
public:
    explicit ReadableText(const char16_t* text) : end_(PageEnd(text)) { }

    const char16_t* end() const { return end_; }

    // True when the units before `need` may be read. `from` is a unit of the
    // text with no terminator before it, a few units before `need`. The next
    // page is taken on when the rest of this one holds no terminator; once
    // the terminator's page is found, no page is added.
    bool Covers(const char16_t* from, const char16_t* need)
    {
        if (need <= end_)
            return true;
        if (last_page_)
            return false;
        if (from >= end_)
            end_ = PageEnd(from);
        while (need > end_) {
            if (EndsBefore<K>(from, end_)) {
                last_page_ = true;
                return false;
            }
            from = end_;
            end_ += PageUnits;
        }
        return true;
    }

private:
    const char16_t* end_;
    bool last_page_ = false;
};

// A group decoder: `Count` plain escapes back to back, `ReadUnits` units read
// from the first prefix on, decoded by `decode`.
template <std::size_t Count, std::size_t ReadUnits, bool (*decode)(const char16_t*, char16_t*)>
struct GroupDecoder {
    static const std::size_t Escapes = Count;
    static const std::size_t Reads = ReadUnits;

    static bool Decode(const char16_t* p, char16_t* out) { return decode(p, out); }
};

// A kernel's group decoders for one mode, widest first.
template <class... G>
struct Groups { };

// Decodes groups of G::Escapes plain escapes from `in` on while the text is
// made of them, and returns where they end. Like the groups themselves, the
// look at the unit where the next escape would start may pass the
// terminator, within a readable page.
template <class G, DecodeMode Mode, class K>
KERNEL_READS_PAST_END const char16_t* DecodeGroups(const char16_t* in, char16_t*& out, ReadableText<K>& readable)
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<Mode>();
    const std::size_t stride = syntax.plainUnits;
    char16_t* to = out;
    // The inner loop calls nothing, so that its constants stay in registers.
    while (readable.Covers(in, in + stride + 1) && in[stride] == syntax.prefix[0] &&
           readable.Covers(in, in + G::Reads)) {
        const char16_t* const end = readable.end();
        while (in + G::Reads <= end && G::Decode(in, to)) {
            in += G::Escapes * stride;
            to += G::Escapes;
        }
        if (in + G::Reads <= end)
            break;  // a group of another shape
    }
    out = to;
    return in;
}

// Each group size in turn, the widest first, so that the narrower ones take
// what is left at the end of a run.
template <DecodeMode Mode, class K, class... G>
const char16_t* DecodeEachGroupSize(const char16_t* in, char16_t*& out, ReadableText<K>& readable, Groups<G...>)
{
    ((in = DecodeGroups<G, Mode>(in, out, readable)), ...);
    return in;
}

// Reads the escape whose field starts at `cursor`, by the quickest way that
// gives the field readers' result, and moves `cursor` past it.
template <class K, DecodeMode Mode>
std::uint32_t ReadEscape(const char16_t*& cursor, ReadableText<K>& readable)
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<Mode>();
    std::uint32_t value;
    if constexpr (Mode == DecodeMode::Ucn) {
        return ReadPlainUcn(cursor, value) ? value : syntax.readField(cursor);
    } else if constexpr (Mode == DecodeMode::CharRef) {
        if constexpr (K::ReadsCharRefAtOnce) {
            const char16_t* const prefix = cursor - PrefixUnits;
            if (readable.Covers(prefix, prefix + syntax.plainUnits))
                return K::ReadCharRef(cursor, value) ? value : syntax.readField(cursor);
        }
        return ReadPlainCharRef(cursor, value) ? value : syntax.readField(cursor);
    } else {
        return syntax.readField(cursor);
    }
}

// A kernel's group decoders for `Mode`; none for a mode it has none for.
template <class K, DecodeMode Mode>
using ModeGroups = std::conditional_t<Mode == DecodeMode::CharRef, typename K::CharRefGroups,
                                      std::conditional_t<Mode == DecodeMode::Ucn, typename K::UcnGroups, Groups<>>>;

// Decodes the escapes that stand back to back from `in`, which is at a
// prefix, and returns where the search for the next prefix goes on.
template <class K, DecodeMode Mode>
const char16_t* DecodeRun(const char16_t* in, char16_t*& out, ReadableText<K>& readable)
{
    for (;;) {
        in = DecodeEachGroupSize<Mode>(in, out, readable, ModeGroups<K, Mode>());
        if (!AtPrefix<Mode>(in))
            return in;
        const char16_t* cursor = in + PrefixUnits;
        const char16_t unit = static_cast<char16_t>(ReadEscape<K, Mode>(cursor, readable));
        if (unit == 0) {
            out = MoveDown(out, in, cursor);  // the escape stays as it stood
            return cursor;
        }
        *out++ = unit;
        in = cursor;
        if (!AtPrefix<Mode>(in))
            return in;
    }
}

// First place at or after `p` where the prefix of `Mode` stands, or the
// terminator when there is none.
template <class K, DecodeMode Mode>
const char16_t* FindPrefix(const char16_t* p)
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<Mode>();
    for (;;) {
        p = FindUnitOrEnd<K>(p, syntax.prefix[0]);
        if (*p == 0 || p[1] == syntax.prefix[1])
            return p;
        ++p;
    }
}

// One forward pass: `in` is where the text not yet looked at begins, `out`
// where the decoded text ends. `out` never passes `in`, so the decoded text
// grows in the same buffer behind the reading, and a written unit is never
// read again.
template <class K, DecodeMode Mode>
void DecodeWith(char16_t* text)
{
    char16_t* out = text;
    const char16_t* in = text;
    ReadableText<K> readable(text);
    for (;;) {
        const char16_t* start = FindPrefix<K, Mode>(in);
        out = MoveDown(out, in, start);
        if (*start == 0)
            break;
        in = DecodeRun<K, Mode>(start, out, readable);
    }
    *out = 0;
}

// The pass of `mode`, compiled for every row of EscapeSyntaxes; a value
// that names no mode leaves the text as it is.
template <class K, std::size_t... Row>
void DecodeWithRow(char16_t* text, DecodeMode mode, std::index_sequence<Row...>)
{
    ((mode == EscapeSyntaxes[Row].mode ? DecodeWith<K, EscapeSyntaxes[Row].mode>(text) : void()), ...);
}

template <class K>
void DecodeWith(char16_t* text, DecodeMode mode)
{
    DecodeWithRow<K>(text, mode, std::make_index_sequence<EscapeSyntaxCount>());
}

}  // namespace

#endif
