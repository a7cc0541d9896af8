// The escapes of one mode decoded straight from UTF-8 into UTF-8, block by
// block. The result is byte for byte what turning the text into UTF-16,
// decoding each NUL-separated part with DecodeText and writing the units
// back in UTF-8 gives (a surrogate pair joined into one character, a lone
// surrogate written as U+FFFD and counted), without ever holding the text
// as UTF-16: the bytes between escapes are copied, and only an escape's
// field, a few units, is turned into UTF-16 for the decoder's field reader.
#ifndef DECODE_ESCAPES_UTF8_ESCAPES_H
#define DECODE_ESCAPES_UTF8_ESCAPES_H

#include "decoder/decode_mode.h"
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

// What the decoding keeps from one block to the next.
struct Utf8DecodeState {
    DecodeMode mode = DecodeMode::CharRef;
    char16_t pendingHigh = 0;         // a decoded high surrogate whose next unit is not written yet
    std::uint64_t writtenBefore = 0;  // result bytes of the earlier blocks
    bool decodedAny = false;
    SurrogateReport surrogates;  // lone surrogates written as U+FFFD, the first's offset in the whole result
};

// One instruction set's version of the work that runs over every byte.
struct Utf8Kernel {
    // Decodes bytes[0, count), well-formed UTF-8 of whole characters, in
    // place: no escape gives more bytes than it takes. Unless `atEnd` says
    // that the text ends with these bytes, an escape that may reach past them
    // is left for the next call.
    BlockStep (*decodeBlock)(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd);
    // CheckUtf8 (utf8.h), quicker.
    Utf8Check (*checkUtf8)(const unsigned char* bytes, std::size_t count, bool atEnd);
};

class Utf8EscapeDecoder {
public:
    Utf8EscapeDecoder(DecodeMode mode, const Utf8Kernel& kernel) : kernel_(kernel) { state_.mode = mode; }

    BlockStep Decode(unsigned char* bytes, std::size_t count, bool atEnd)
    {
        return kernel_.decodeBlock(state_, bytes, count, atEnd);
    }
    Utf8Check Check(const unsigned char* bytes, std::size_t count, bool atEnd) const
    {
        return kernel_.checkUtf8(bytes, count, atEnd);
    }

    // True once any escape was replaced.
    bool decodedAny() const { return state_.decodedAny; }
    const SurrogateReport& surrogates() const { return state_.surrogates; }

private:
    const Utf8Kernel& kernel_;
    Utf8DecodeState state_;
};

#endif
