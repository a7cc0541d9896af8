// The model that the streaming decoder must match byte for byte: the whole
// input read into UTF-16, each NUL-separated part decoded with DecodeText,
// the units written back in the input's encoding. Bad input is decoded up to
// the bad bytes, as if the text ended there.
#ifndef TESTS_CLI_WHOLE_TEXT_MODEL_H
#define TESTS_CLI_WHOLE_TEXT_MODEL_H

#include "text_encoding.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

struct WholeTextResult {
    std::string output;
    bool bad = false;  // the input was cut short by bad bytes
    bool decodedAny = false;
    SurrogateReport surrogates;
};

WholeTextResult DecodeWholeText(const std::string& input, EncodingChoice choice, std::int32_t mode);

// Where a test's output goes.
class StringSink : public ByteSink {
public:
    bool Write(const unsigned char* bytes, std::size_t count) override
    {
        text.append(reinterpret_cast<const char*>(bytes), count);
        return true;
    }
    std::string text;
};

// Hands out a text in pieces of the given sizes (none 0), the last one
// repeated, as a pipe would.
class ChunkedSource : public ByteSource {
public:
    ChunkedSource(const std::string& text, std::vector<std::size_t> chunks)
        : text_(text), chunks_(std::move(chunks)) { }

    bool Read(unsigned char* buffer, std::size_t count, std::size_t& got, std::string&) override
    {
        const std::size_t chunk = chunks_[std::min(reads_++, chunks_.size() - 1)];
        got = std::min({count, chunk, text_.size() - at_});
        std::copy(text_.begin() + static_cast<long>(at_), text_.begin() + static_cast<long>(at_ + got), buffer);
        at_ += got;
        return true;
    }

private:
    const std::string& text_;
    std::vector<std::size_t> chunks_;
    std::size_t at_ = 0;
    std::size_t reads_ = 0;
};

#endif
