#include "png_file.h"

#include <png.h>

#include <csetjmp>

namespace {

void AppendToFile(png_structp png, png_bytep data, png_size_t length)
{
    auto* file = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    file->insert(file->end(), data, data + length);
}

void NothingToFlush(png_structp)
{ }

}  // namespace

std::vector<std::uint8_t> EncodePng(const Image& image)
{
    std::vector<std::uint8_t> rgb;
    rgb.reserve(image.pixels.size() * 3);
    for (const Rgba& pixel : image.pixels) {
        rgb.push_back(pixel.r);
        rgb.push_back(pixel.g);
        rgb.push_back(pixel.b);
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = rgb.data() + y * static_cast<std::size_t>(image.width) * 3;

    // The same pixels give the same bytes: every choice of the encoder is
    // fixed here, and only the three chunks that a picture needs are
    // written (no time, no text, no colour space).
    std::vector<std::uint8_t> file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return {};
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &file, AppendToFile, NothingToFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);  // the smallest for pixel art
    png_set_compression_level(png, 9);
    png_set_compression_strategy(png, 0);            // Z_DEFAULT_STRATEGY
    png_set_compression_buffer_size(png, 1u << 20);  // one IDAT chunk for pictures of this size
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return file;
}
