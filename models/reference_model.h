// A model of the escape decoder, for the tests and the benchmark, that
// follows the decoding steps literally: search the prefix from the scan position, read the field into a
// local copy, convert it, write the unit and move the rest of the text down
// with one block move. Slow (replacements x length) but plain to check by eye.
#ifndef MODELS_REFERENCE_MODEL_H
#define MODELS_REFERENCE_MODEL_H

#include <cstdint>

void DecodeTextModel(char16_t* text, std::int32_t mode);

#endif
