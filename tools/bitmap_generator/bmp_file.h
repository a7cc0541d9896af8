// Device-independent bitmap files: file header, 40-byte info header, colour
// table and bottom-up pixel rows, uncompressed.
#ifndef BITMAP_GENERATOR_BMP_FILE_H
#define BITMAP_GENERATOR_BMP_FILE_H

#include "toolbar_images.h"

#include <cstdint>
#include <vector>

std::vector<std::uint8_t> EncodeBmp(const ToolbarBitmap& bitmap);

#endif
