// The escapes of one mode decoded in UTF-16 text that arrives in blocks, by
// DecodeText itself. Each NUL-separated part is decoded on its own, as the
// editor would see it, and the NULs are kept. A block is decoded up to a
// place where no escape can reach across, so that decoding the blocks one
// after another gives what decoding the whole text would.
#ifndef DECODE_ESCAPES_UTF16_ESCAPES_H
#define DECODE_ESCAPES_UTF16_ESCAPES_H

#include "decoder/decode_mode.h"
#include "text_kernels/cpu_kernels.h"
#include "utf8_escapes.h"

#include <cstddef>
#include <cstdint>

class Utf16EscapeDecoder {
public:
    Utf16EscapeDecoder(DecodeMode mode, Kernel kernel) : mode_(mode), kernel_(kernel) { }

    // Decodes units[0, count) in place, counting in units; units[count]
    // must be writable (it holds a terminator for a moment). Unless `atEnd`
    // says that the text ends here, a few units at the end may be left for
    // the next call.
    BlockStep Decode(char16_t* units, std::size_t count, bool atEnd);

    bool decodedAny() const { return decodedAny_; }

private:
    std::size_t DecodeParts(char16_t* units, std::size_t count) const;

    DecodeMode mode_;
    Kernel kernel_;
    bool decodedAny_ = false;
};

// The last place in units[0, count) before which the text can be decoded on
// its own: decoding units[0, cut) and then the rest gives what decoding the
// whole text gives, since no escape looks at units on both sides of `cut`.
// units[0] must be where a search for the next escape starts. A value that
// names no mode has no escapes: the whole text is safe.
std::size_t FindSafeCut(const char16_t* units, std::size_t count, DecodeMode mode);

#endif
