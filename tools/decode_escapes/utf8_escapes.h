// The escapes of one mode decoded straight from UTF-8 into UTF-8, block by
// block. The result is byte for byte what turning the text into UTF-16,
// decoding each NUL-separated part with DecodeText and writing the units
// back in UTF-8 gives (a surrogate pair joined into one character, a lone
// surrogate written as U+FFFD and counted), without ever holding the text
// as UTF-16: the bytes between escapes are copied, and only an escape's
// field, a few units, is turned into UTF-16 for the decoder's field reader.
#ifndef DECODE_ESCAPES_UTF8_ESCAPES_H
#define DECODE_ESCAPES_UTF8_ESCAPES_H

#include "text_encoding.h"

#include <cstddef>
#include <cstdint>

// What one call made of a block: the result is bytes[0, written); the bytes
// from `consumed` on were not taken and come again, at the start of the
// next block, before the text that follows them.
struct BlockStep {
    std::size_t consumed = 0;
    std::size_t written = 0;
};

class Utf8EscapeDecoder {
public:
    explicit Utf8EscapeDecoder(std::int32_t mode) : mode_(mode) {}

    // Decodes bytes[0, count), well-formed UTF-8 of whole characters, in
    // place: no escape gives more bytes than it takes. Unless `atEnd` says
    // that the text ends with these bytes, an escape that may reach past them
    // is left for the next call.
    BlockStep Decode(unsigned char* bytes, std::size_t count, bool atEnd);

    // True once any escape was replaced.
    bool decodedAny() const { return decodedAny_; }
    // The lone surrogates written as U+FFFD, with the byte offset of the
    // first in the whole result.
    const SurrogateReport& surrogates() const { return surrogates_; }

private:
    struct Escape;
    bool ReadEscape(const unsigned char* bytes, std::size_t start, std::size_t count, bool atEnd, Escape& escape);
    bool AtPrefix(const unsigned char* bytes, std::size_t at) const;
    // Writes one code unit of the result at `out`, joining a high surrogate
    // with the low one that follows it.
    void PutUnit(char16_t unit, unsigned char* bytes, std::size_t& out);
    void FlushPending(unsigned char* bytes, std::size_t& out);
    void PutLone(unsigned char* bytes, std::size_t& out);

    std::int32_t mode_;
    char16_t pendingHigh_ = 0;  // a decoded high surrogate whose next unit is not written yet
    std::uint64_t writtenBefore_ = 0;  // result bytes of the earlier blocks
    bool decodedAny_ = false;
    SurrogateReport surrogates_;
};

#endif
