// The contact sheet as a PNG file (8-bit RGB), written by libpng.
#ifndef BITMAP_GENERATOR_PNG_FILE_H
#define BITMAP_GENERATOR_PNG_FILE_H

#include "image.h"

#include <cstdint>
#include <vector>

// The image must be opaque; alpha is dropped. Empty when libpng fails.
std::vector<std::uint8_t> EncodePng(const Image& image);

#endif
