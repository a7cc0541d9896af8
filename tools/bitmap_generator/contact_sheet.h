// The contact sheet: every toolbar bitmap enlarged eight times on a
// checkerboard (so that transparency shows) and at its own size beside it,
// in rows by size and depth and columns by state.
#ifndef BITMAP_GENERATOR_CONTACT_SHEET_H
#define BITMAP_GENERATOR_CONTACT_SHEET_H

#include "image.h"
#include "toolbar_images.h"

#include <vector>

constexpr int SheetZoom = 8;

Image DrawContactSheet(const std::vector<ToolbarBitmap>& bitmaps);

#endif
