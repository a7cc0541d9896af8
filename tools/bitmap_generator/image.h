// Pictures in memory: top-down rows of RGBA pixels, alpha 0 or 255.
#ifndef BITMAP_GENERATOR_IMAGE_H
#define BITMAP_GENERATOR_IMAGE_H

#include <cstdint>
#include <vector>

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;
};

inline bool operator==(Rgba x, Rgba y)
{
    return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
}
inline bool operator!=(Rgba x, Rgba y)
{
    return !(x == y);
}

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;  // row 0 is the top row

    Image() = default;
    Image(int w, int h, Rgba fill = Rgba{})
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill)
    { }
    Rgba& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    Rgba at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

#endif
