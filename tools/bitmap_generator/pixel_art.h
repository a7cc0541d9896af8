// The hand-drawn pictures of the toolbar button, one character per pixel.
#ifndef BITMAP_GENERATOR_PIXEL_ART_H
#define BITMAP_GENERATOR_PIXEL_ART_H

struct PixelArt {
    int size;                 // width and height in pixels
    const char* const* rows;  // `size` rows of `size` characters, top row first
};

// The tiles of the 256-colour and 32-bit images:
//   ' ' transparent corner, 'F' frame, '.' tile,
//   'R' 'G' 'B' red, green and blue motif, 'r' 'g' 'b' their soft edge pixels.
extern const PixelArt SmallTileArt;
extern const PixelArt LargeTileArt;

// The flat 16-colour pictures on light grey:
//   '.' light grey, 'R' red, 'r' dark red, 'G' green, 'g' dark teal,
//   'B' blue, 'b' navy.
extern const PixelArt SmallFlatArt;
extern const PixelArt LargeFlatArt;

#endif
