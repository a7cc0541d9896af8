#include "bmp_reader.h"

#include <fstream>
#include <iterator>

namespace {

std::uint32_t U16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return U16(b, at) | U16(b, at + 2) << 16;
}

bool ReadPixels(const std::vector<std::uint8_t>& bytes, BmpFile& bmp, std::string& error)
{
    const std::size_t rowBytes = (static_cast<std::size_t>(bmp.width) * bmp.bitCount + 31) / 32 * 4;
    if (bmp.pixelOffset + rowBytes * bmp.height > bytes.size()) {
        error = "pixel rows run past the end of the file";
        return false;
    }
    bmp.pixels.resize(static_cast<std::size_t>(bmp.width) * bmp.height);
    bmp.indices.assign(bmp.bitCount <= 8 ? bmp.pixels.size() : 0, 0);
    for (int row = 0; row < bmp.height; ++row) {
        const int y = bmp.height - 1 - row;  // bottom-up
        const std::size_t start = bmp.pixelOffset + rowBytes * row;
        for (int x = 0; x < bmp.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * bmp.width + x;
            if (bmp.bitCount == 32) {
                const std::uint8_t* p = &bytes[start + 4 * static_cast<std::size_t>(x)];
                bmp.pixels[i] = Color{p[2], p[1], p[0], p[3]};
                continue;
            }
            int index = bmp.bitCount == 8 ? bytes[start + x] : (bytes[start + x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xF;
            if (static_cast<std::size_t>(index) >= bmp.table.size()) {
                error = "pixel index " + std::to_string(index) + " outside the colour table";
                return false;
            }
            bmp.indices[i] = index;
            bmp.pixels[i] = bmp.table[index];
        }
    }
    return true;
}

}  // namespace

BmpFile ParseBmp(const std::vector<std::uint8_t>& bytes, std::string& error)
{
    BmpFile bmp;
    error.clear();
    bmp.fileBytes = bytes.size();
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') {
        error = "no bitmap file header";
        return bmp;
    }
    bmp.declaredFileSize = U32(bytes, 2);
    bmp.pixelOffset = U32(bytes, 10);
    bmp.infoSize = U32(bytes, 14);
    bmp.width = static_cast<std::int32_t>(U32(bytes, 18));
    bmp.height = static_cast<std::int32_t>(U32(bytes, 22));
    bmp.planes = static_cast<int>(U16(bytes, 26));
    bmp.bitCount = static_cast<int>(U16(bytes, 28));
    bmp.compression = U32(bytes, 30);
    bmp.colorsUsed = U32(bytes, 46);
    bmp.colorsImportant = U32(bytes, 50);
    if (bmp.width <= 0 || bmp.width > 256 || bmp.height <= 0 || bmp.height > 256 ||
        (bmp.bitCount != 4 && bmp.bitCount != 8 && bmp.bitCount != 32)) {
        error = "unexpected size or depth";
        return bmp;
    }
    std::size_t entries = bmp.bitCount == 32 ? 0 : (bmp.colorsUsed != 0 ? bmp.colorsUsed : 1u << bmp.bitCount);
    if (entries > (1u << (bmp.bitCount == 32 ? 0 : bmp.bitCount)) || 54 + 4 * entries > bytes.size()) {
        error = "colour table too large";
        return bmp;
    }
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint8_t* q = &bytes[54 + 4 * i];
        bmp.table.push_back(Color{q[2], q[1], q[0], 255});
    }
    ReadPixels(bytes, bmp, error);
    return bmp;
}

double MeanBrightness(const BmpFile& bmp)
{
    const Color magenta{255, 0, 255, 255};
    double sum = 0;
    int count = 0;
    for (std::size_t i = 0; i < bmp.pixels.size(); ++i) {
        Color c = bmp.pixels[i];
        bool transparent = bmp.bitCount == 32 ? c.a == 0 : (bmp.bitCount == 8 && c == magenta);
        if (!transparent) {
            sum += (c.r + c.g + c.b) / 3.0;
            ++count;
        }
    }
    return count == 0 ? 0.0 : sum / count;
}
