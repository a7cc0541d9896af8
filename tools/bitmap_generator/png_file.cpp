#include "png_file.h"

#include <png.h>

std::vector<std::uint8_t> EncodePng(const Image& image)
{
    std::vector<std::uint8_t> rgb;
    rgb.reserve(image.pixels.size() * 3);
    for (const Rgba& pixel : image.pixels) {
        rgb.push_back(pixel.r);
        rgb.push_back(pixel.g);
        rgb.push_back(pixel.b);
    }

    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;

    // The first call asks for the size, the second writes.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, rgb.data(), 0, nullptr))
        return {};
    std::vector<std::uint8_t> file(size);
    if (!png_image_write_to_memory(&png, file.data(), &size, 0, rgb.data(), 0, nullptr))
        return {};
    file.resize(size);
    return file;
}
