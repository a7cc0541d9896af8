// Reads a device-independent bitmap file (4, 8 or 32 bits per pixel,
// uncompressed) into its header fields, colour table and pixels, checking
// every size against the file so that a damaged file fails cleanly.
#ifndef TESTS_BITMAPS_BMP_READER_H
#define TESTS_BITMAPS_BMP_READER_H

#include "file_bytes.h"

#include <cstdint>
#include <string>
#include <vector>

struct Color {
    int r = 0;
    int g = 0;
    int b = 0;
    int a = 255;  // from the pixel for 32 bits; 255 for table colours
};

inline bool operator==(Color x, Color y)
{
    return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
}

struct BmpFile {
    std::size_t fileBytes = 0;
    std::uint32_t declaredFileSize = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // positive: rows stored bottom-up
    int planes = 0;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t colorsImportant = 0;
    std::vector<Color> table;
    std::vector<int> indices;   // 4 and 8 bits, top row first
    std::vector<Color> pixels;  // every depth, top row first

    Color At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    int IndexAt(int x, int y) const { return indices[static_cast<std::size_t>(y) * width + x]; }
    bool IsCorner(int x, int y) const { return (x == 0 || x == width - 1) && (y == 0 || y == height - 1); }
};

// Empty `error` on success.
BmpFile ParseBmp(const std::vector<std::uint8_t>& bytes, std::string& error);

// Mean brightness: the mean of (R + G + B) / 3 over the pixels that are not
// transparent (the corners of the 8-bit and 32-bit images).
double MeanBrightness(const BmpFile& bmp);

#endif
