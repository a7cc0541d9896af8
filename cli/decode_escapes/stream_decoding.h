// An input decoded to an output as it is read, in blocks of fixed size:
// memory does not grow with the input. In the editor's modes UTF-8 is
// decoded directly, UTF-16 of either byte order through the decoder itself;
// the html and json modes (format_escapes.h) read both directly.
#ifndef DECODE_ESCAPES_STREAM_DECODING_H
#define DECODE_ESCAPES_STREAM_DECODING_H

#include "decoder/decode_mode.h"
#include "text_encoding.h"
#include "text_kernels/cpu_kernels.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct StreamOutcome {
    enum class Failure { None, Input, Output };
    Failure failure = Failure::None;
    std::string error;           // for Failure::Input, e.g. "invalid UTF-8 at byte offset 12"
    bool decodedAny = false;     // an escape was replaced
    SurrogateReport surrogates;  // lone surrogates written as U+FFFD in UTF-8
};

const std::size_t DefaultBlockBytes = 256 << 10;

// Reads `input` to its end and writes its decoded text to `output` (`mode`
// is one of the decoder's modes or of format_escapes.h), with
// `kernel`'s code for UTF-8 and UTF-16 alike. The encoding comes from
// `choice` and the byte order mark, which is kept.
// Bad input (invalid UTF-8, half a UTF-16 unit, a read error) ends the
// output before the bad bytes: what precedes them is decoded as if the text
// ended there. A failing `output` stops everything; its sink knows why.
StreamOutcome DecodeStream(ByteSource& input, EncodingChoice choice, DecodeMode mode, Kernel kernel, ByteSink& output,
                           std::size_t blockBytes = DefaultBlockBytes);

#endif
