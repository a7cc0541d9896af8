// A small PNG encoder for the contact sheet: 8-bit RGB, one zlib stream
// compressed with the fixed Huffman codes of deflate and matches at the
// distances that repeat in an enlarged picture (the pixel before, the
// enlarged pixel before, the row above). It needs no library and its output
// depends on nothing but the image.
#ifndef BITMAP_GENERATOR_PNG_FILE_H
#define BITMAP_GENERATOR_PNG_FILE_H

#include "image.h"

#include <cstdint>
#include <vector>

// The image must be opaque; alpha is ignored. `repeat` is the width in
// pixels of a block that the encoder should look back for (the enlargement).
std::vector<std::uint8_t> EncodePng(const Image& image, int repeat);

#endif
