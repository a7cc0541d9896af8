#include "toolbar_images.h"

#include "pixel_art.h"
#include "resource.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>

namespace {

struct Rgb {
    int r;
    int g;
    int b;
};

Rgba Opaque(Rgb c)
{
    return Rgba{static_cast<std::uint8_t>(c.r), static_cast<std::uint8_t>(c.g), static_cast<std::uint8_t>(c.b), 255};
}

// Blends `b` into `a`; `weight` 0 gives a, 256 gives b.
Rgb Mix(Rgb a, Rgb b, int weight)
{
    auto channel = [weight](int x, int y) { return (x * (256 - weight) + y * weight + 128) >> 8; };
    return Rgb{channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

// A colour that runs from lighter at the top of the picture to deeper at the
// bottom: the soft shading of the tile and the motif.
struct Gradient {
    Rgb top;
    Rgb bottom;
};

Rgb ColorAtRow(const Gradient& gradient, int y, int size)
{
    return Mix(gradient.top, gradient.bottom, y * 256 / (size - 1));
}

const Gradient Tile = {{236, 244, 255}, {196, 218, 247}};
const Gradient Frame = {{88, 136, 222}, {30, 70, 168}};
const Gradient Red = {{238, 74, 62}, {176, 22, 26}};
const Gradient Green = {{74, 192, 72}, {22, 128, 44}};
const Gradient Blue = {{72, 112, 236}, {26, 54, 178}};
const Rgb Shadow = {60, 96, 170};

const Gradient* MotifGradient(char c)
{
    switch (c) {
    case 'R':
    case 'r':
        return &Red;
    case 'G':
    case 'g':
        return &Green;
    case 'B':
    case 'b':
        return &Blue;
    default:
        return nullptr;
    }
}

bool IsSoftEdge(char c)
{
    return c == 'r' || c == 'g' || c == 'b';
}

char ArtAt(const PixelArt& art, int x, int y)
{
    if (x < 0 || y < 0 || x >= art.size || y >= art.size) {
        return '.';
    }
    return art.rows[y][x];
}

void CheckArt(const PixelArt& art, const char* legend)
{
    for (int y = 0; y < art.size; ++y) {
        const char* row = art.rows[y];
        bool ok = std::strlen(row) == static_cast<std::size_t>(art.size);
        for (int x = 0; ok && x < art.size; ++x) {
            ok = std::strchr(legend, row[x]) != nullptr;
        }
        if (!ok) {
            std::cerr << "bitmap_generator: bad pixel art row " << y << " of size " << art.size << "\n";
            std::exit(2);
        }
    }
}

// The tile pixel under the motif: pale blue with a soft shadow where the
// motif lies one pixel up and to the left.
Rgb TileColor(const PixelArt& art, int x, int y)
{
    Rgb tile = ColorAtRow(Tile, y, art.size);
    char casting = ArtAt(art, x - 1, y - 1);
    if (MotifGradient(casting) != nullptr) {
        tile = Mix(tile, Shadow, IsSoftEdge(casting) ? 20 : 40);
    }
    return tile;
}

Image RenderTile(const PixelArt& art)
{
    CheckArt(art, " F.RGBrgb");
    Image image(art.size, art.size);
    for (int y = 0; y < art.size; ++y) {
        for (int x = 0; x < art.size; ++x) {
            char c = art.rows[y][x];
            Rgba& pixel = image.at(x, y);
            if (c == ' ') {
                pixel = Rgba{};
            } else if (c == 'F') {
                pixel = Opaque(ColorAtRow(Frame, y, art.size));
            } else if (const Gradient* motif = MotifGradient(c)) {
                Rgb color = ColorAtRow(*motif, y, art.size);
                pixel = Opaque(IsSoftEdge(c) ? Mix(color, TileColor(art, x, y), 128) : color);
            } else {
                pixel = Opaque(TileColor(art, x, y));
            }
        }
    }
    return image;
}

// Disabled: the brightness of each pixel in grey, lifted and flattened so
// that the button reads as inactive.
Image MakeDisabled(const Image& normal)
{
    Image grey = normal;
    for (Rgba& p : grey.pixels) {
        if (p.a == 0) {
            continue;
        }
        int luma = (77 * p.r + 150 * p.g + 29 * p.b + 128) >> 8;
        auto level = static_cast<std::uint8_t>(72 + luma * 11 / 16);
        p = Rgba{level, level, level, 255};
    }
    return grey;
}

int ClampChannel(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// Hot: saturation raised by an eighth, then every channel scaled by
// scale/1024.
Image Deepen(const Image& normal, int scale)
{
    Image hot = normal;
    for (Rgba& p : hot.pixels) {
        if (p.a == 0) {
            continue;
        }
        int mean = (p.r + p.g + p.b) / 3;
        auto deeper = [&](int c) {
            int saturated = mean + (c - mean) * 9 / 8;
            return static_cast<std::uint8_t>(ClampChannel((saturated * scale + 512) / 1024));
        };
        p = Rgba{deeper(p.r), deeper(p.g), deeper(p.b), 255};
    }
    return hot;
}

long long BrightnessSum(const Image& image)
{
    long long sum = 0;
    for (Rgba p : image.pixels) {
        if (p.a != 0) {
            sum += p.r + p.g + p.b;
        }
    }
    return sum;
}

// The hot image is deepened until its mean brightness is 93 per cent of the
// normal image's, the middle of the 6 to 8 per cent that make it read as
// highlighted without looking like another picture.
Image MakeHot(const Image& normal)
{
    const long long target = BrightnessSum(normal) * 93;  // per cent
    int bestScale = 1024;
    long long bestError = -1;
    for (int scale = 850; scale <= 1024; ++scale) {
        long long error = std::llabs(BrightnessSum(Deepen(normal, scale)) * 100 - target);
        if (bestError < 0 || error < bestError) {
            bestError = error;
            bestScale = scale;
        }
    }
    return Deepen(normal, bestScale);
}

// A 256-colour display's palette holds 6 bits per channel.
std::uint8_t ToSixBits(std::uint8_t v)
{
    int q = (v * 63 + 127) / 255;
    return static_cast<std::uint8_t>((q << 2) | (q >> 4));
}

const Rgba Magenta = {255, 0, 255, 0};
const Rgba Black = {0, 0, 0, 0};

bool SameColor(Rgba x, Rgba y)
{
    return x.r == y.r && x.g == y.g && x.b == y.b;
}

// 8 bits: the colours in order of first use, then one black entry that no
// pixel uses; the transparent corners become magenta, the mask colour.
void StoreAsPalette(const Image& image, ToolbarBitmap& bitmap)
{
    for (Rgba p : image.pixels) {
        Rgba color = p.a == 0 ? Magenta : Rgba{ToSixBits(p.r), ToSixBits(p.g), ToSixBits(p.b), 0};
        if (p.a != 0 && (SameColor(color, Magenta) || SameColor(color, Black))) {
            std::cerr << "bitmap_generator: a picture pixel has a reserved colour\n";
            std::exit(2);
        }
        std::size_t index = 0;
        while (index < bitmap.colorTable.size() && !SameColor(bitmap.colorTable[index], color)) {
            ++index;
        }
        if (index == bitmap.colorTable.size()) {
            bitmap.colorTable.push_back(color);
        }
        bitmap.indices.push_back(static_cast<std::uint8_t>(index));
    }
    bitmap.colorTable.push_back(Black);
    if (bitmap.colorTable.size() > 256) {
        std::cerr << "bitmap_generator: more than 256 colours in " << bitmap.fileName << "\n";
        std::exit(2);
    }
}

// The standard 16-colour table, in its usual order.
const Rgba SixteenColors[16] = {
    {0, 0, 0, 0},     {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0}, {128, 0, 128, 0},
    {0, 128, 128, 0}, {192, 192, 192, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0}, {255, 255, 0, 0},
    {0, 0, 255, 0},   {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

std::uint8_t FlatColorIndex(char c)
{
    switch (c) {
    case 'R':
        return 9;  // red
    case 'r':
        return 1;  // dark red
    case 'G':
        return 10;  // green
    case 'g':
        return 6;  // dark teal
    case 'B':
        return 12;  // blue
    case 'b':
        return 4;  // navy
    default:
        return 7;  // light grey
    }
}

void StoreFlat(const PixelArt& art, ToolbarBitmap& bitmap)
{
    CheckArt(art, ".RrGgBb");
    bitmap.colorTable.assign(std::begin(SixteenColors), std::end(SixteenColors));
    for (int y = 0; y < art.size; ++y) {
        for (int x = 0; x < art.size; ++x) {
            bitmap.indices.push_back(FlatColorIndex(art.rows[y][x]));
        }
    }
}

struct BitmapEntry {
    int id;
    const char* file;  // relative to resources/
    int size;
    int bitsPerPixel;
    ButtonState state;
};

#define BITMAP_ENTRY(name, id, file, size, bits, state) {id, file, size, bits, ButtonState::state},
const BitmapEntry Bitmaps[] = {TOOLBAR_BITMAPS(BITMAP_ENTRY)};
#undef BITMAP_ENTRY

Image TileInState(const PixelArt& art, ButtonState state)
{
    Image normal = RenderTile(art);
    switch (state) {
    case ButtonState::Disabled:
        return MakeDisabled(normal);
    case ButtonState::Hot:
        return MakeHot(normal);
    case ButtonState::AnyState:
    case ButtonState::Normal:
        break;
    }
    return normal;
}

}  // namespace

std::vector<ToolbarBitmap> BuildToolbarBitmaps()
{
    std::vector<ToolbarBitmap> bitmaps;
    for (const BitmapEntry& entry : Bitmaps) {
        ToolbarBitmap bitmap;
        bitmap.id = entry.id;
        bitmap.fileName = std::filesystem::path(entry.file).filename().string();
        bitmap.size = entry.size;
        bitmap.bitsPerPixel = entry.bitsPerPixel;
        bitmap.state = entry.state;
        const bool small = entry.size == 16;
        if (entry.bitsPerPixel == 4) {
            StoreFlat(small ? SmallFlatArt : LargeFlatArt, bitmap);
        } else {
            Image picture = TileInState(small ? SmallTileArt : LargeTileArt, entry.state);
            if (entry.bitsPerPixel == 8) {
                StoreAsPalette(picture, bitmap);
            } else {
                bitmap.pixels = picture;
            }
        }
        bitmaps.push_back(bitmap);
    }
    return bitmaps;
}

Image DisplayImage(const ToolbarBitmap& bitmap)
{
    if (bitmap.bitsPerPixel == 32) {
        return bitmap.pixels;
    }
    Image image(bitmap.size, bitmap.size);
    for (std::size_t i = 0; i < bitmap.indices.size(); ++i) {
        Rgba color = bitmap.colorTable[bitmap.indices[i]];
        bool masked = bitmap.bitsPerPixel == 8 && SameColor(color, Magenta);
        color.a = masked ? 0 : 255;
        image.pixels[i] = masked ? Rgba{} : color;
    }
    return image;
}
