// The model that the streaming decoder must match byte for byte: the whole
// input read into UTF-16, each NUL-separated part decoded with DecodeText,
// the units written back in the input's encoding. Bad input is decoded up to
// the bad bytes, as if the text ended there.
#ifndef TESTS_CLI_WHOLE_TEXT_MODEL_H
#define TESTS_CLI_WHOLE_TEXT_MODEL_H

#include "text_encoding.h"

#include <cstdint>
#include <string>

struct WholeTextResult {
    std::string output;
    bool bad = false;  // the input was cut short by bad bytes
    bool decodedAny = false;
    SurrogateReport surrogates;
};

WholeTextResult DecodeWholeText(const std::string& input, EncodingChoice choice, std::int32_t mode);

#endif
