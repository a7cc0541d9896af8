// The UTF-8 rules, in one place: which byte sequences are well-formed, what
// code units they stand for, and how a character is written.
#ifndef TEXT_IO_UTF8_H
#define TEXT_IO_UTF8_H

#include <cstddef>
#include <cstdint>

enum class ConvertError { None, InvalidUtf8, TruncatedUtf8, OddUtf16 };

// How far bytes[0, count) is well-formed UTF-8. `valid` bytes are whole
// sequences; when `error` is None and `valid` < `count`, the rest is the
// start of a sequence cut by the end of the bytes, which is an error
// (TruncatedUtf8) only when `atEnd` says that no more bytes follow.
struct Utf8Check {
    std::size_t valid = 0;
    ConvertError error = ConvertError::None;
};
Utf8Check CheckUtf8(const unsigned char* bytes, std::size_t count, bool atEnd);

// The length of the sequence that a well-formed lead byte starts.
inline std::size_t Utf8SequenceLength(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Decodes one well-formed sequence of `length` bytes: writes its code units
// (one unit, or a surrogate pair for 4 bytes) and returns past them.
char16_t* DecodeUtf8Sequence(const unsigned char* sequence, std::size_t length, char16_t* out);

// Encodes one character (at most U+10FFFF, no surrogate) as UTF-8 and returns
// its length.
std::size_t PutUtf8(std::uint32_t code, unsigned char* out);

inline bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

inline bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

inline std::uint32_t JoinSurrogates(char16_t high, char16_t low)
{
    return 0x10000 + ((high - 0xD800u) << 10) + (low - 0xDC00u);
}

const std::uint32_t ReplacementCharacter = 0xFFFD;

#endif
