// HTML's character references as its tokenizer reads them in text, as rules
// over code points: which named reference a run of letters and digits after
// "&" starts with, and which character a numeric reference's value gives.
#ifndef DECODE_ESCAPES_HTML_REFERENCES_H
#define DECODE_ESCAPES_HTML_REFERENCES_H

#include <cstddef>
#include <cstdint>

// The longest name of the list, ";" included.
const std::size_t LongestReferenceName = 32;

// The characters that a reference stands for: one, or two (`second` != 0).
struct ReferenceCharacters {
    std::uint32_t first = 0;
    std::uint32_t second = 0;
};

// The longest named reference that `name` starts with, as a browser reads
// it: `name` holds the ASCII letters and digits after "&" (`length` of them,
// at most LongestReferenceName) followed by ";" when `semicolon` says so.
// A name with ";" matches only the whole run; a legacy name (such as "not",
// "amp" or "eacute") matches without it, so "notit;" starts with "not".
// Returns the length of the name matched, ";" included, or 0 for none.
std::size_t MatchNamedReference(const char* name, std::size_t length, bool semicolon, ReferenceCharacters& characters);

// The names of at most ShortNameBytes bytes (";" included where the name
// has it), most of the list, are also found whole by their bytes packed into
// one word, the first byte lowest, zero bytes after the name: an
// open-addressing hash whose slots hold the characters too, so that a lookup
// is one multiplication and, most of the time, one slot read. A free slot
// holds 0, which no name packs to. Inline, for the loop over the text.
const std::size_t ShortNameBytes = 8;
const std::size_t ShortNameSlots = 4096;

struct ShortNameIndex {
    struct Slot {
        std::uint64_t packed = 0;
        std::uint32_t first = 0;
        std::uint32_t second = 0;
    };
    Slot slots[ShortNameSlots];
};
extern const ShortNameIndex ShortNames;

constexpr std::size_t ShortNameSlot(std::uint64_t packed)
{
    return static_cast<std::size_t>((packed * 0x9E3779B97F4A7C15u) >> 52) & (ShortNameSlots - 1);
}

// True and the characters when `packed` is a short name of the list.
inline bool FindShortName(std::uint64_t packed, ReferenceCharacters& characters)
{
    for (std::size_t slot = ShortNameSlot(packed); ShortNames.slots[slot].packed != 0;
         slot = (slot + 1) & (ShortNameSlots - 1)) {
        if (ShortNames.slots[slot].packed == packed) {
            characters.first = ShortNames.slots[slot].first;
            characters.second = ShortNames.slots[slot].second;
            return true;
        }
    }
    return false;
}

// A numeric reference's value is read up to this and stops growing there:
// any larger value gives the same character.
const std::uint32_t ReferenceValueCap = 0x110000;

// What windows-1252 gives the bytes 0x80 to 0x9F; 0 where it gives nothing.
extern const std::uint16_t C1Replacements[32];

// The character of a numeric reference whose value is `value` (at most
// ReferenceValueCap): U+FFFD for 0, a surrogate or a value beyond U+10FFFF;
// for 0x80 to 0x9F the character that windows-1252 gives that byte, where it
// has one; otherwise the character of that number, controls and
// noncharacters included.
inline std::uint32_t NumericReferenceCharacter(std::uint32_t value)
{
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0xFFFD;
    if (value >= 0x80 && value <= 0x9F && C1Replacements[value - 0x80] != 0)
        return C1Replacements[value - 0x80];
    return value;
}

#endif
