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

// A numeric reference's value is read up to this and stops growing there:
// any larger value gives the same character.
const std::uint32_t ReferenceValueCap = 0x110000;

// The character of a numeric reference whose value is `value` (at most
// ReferenceValueCap): U+FFFD for 0, a surrogate or a value beyond U+10FFFF;
// for 0x80 to 0x9F the character that windows-1252 gives that byte, where it
// has one; otherwise the character of that number, controls and
// noncharacters included.
std::uint32_t NumericReferenceCharacter(std::uint32_t value);

#endif
