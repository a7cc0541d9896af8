// The fourteen toolbar bitmaps: drawn from the pixel art, then stored as
// 4-bit, 8-bit or 32-bit device-independent bitmaps.
#ifndef BITMAP_GENERATOR_TOOLBAR_IMAGES_H
#define BITMAP_GENERATOR_TOOLBAR_IMAGES_H

#include "image.h"
#include "resource.h"

#include <cstdint>
#include <string>
#include <vector>

// One toolbar bitmap as it goes into its file.
struct ToolbarBitmap {
    int id = 0;            // resource id
    std::string fileName;  // e.g. "small_256color_hot.bmp"
    int size = 0;          // 16 or 24 pixels square
    int bitsPerPixel = 0;  // 4, 8 or 32
    ButtonState state = ButtonState::Normal;
    std::vector<Rgba> colorTable;       // 4 and 8 bits (alpha unused)
    std::vector<std::uint8_t> indices;  // 4 and 8 bits: top row first
    Image pixels;                       // 32 bits: alpha 0 at the corners
};

// All fourteen, in resource id order.
std::vector<ToolbarBitmap> BuildToolbarBitmaps();

// The bitmap as the host shows it: the 8-bit mask colour (magenta) and
// alpha 0 become transparent; the 16-colour images are opaque.
Image DisplayImage(const ToolbarBitmap& bitmap);

#endif
