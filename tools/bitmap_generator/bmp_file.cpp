#include "bmp_file.h"

#include <utility>

namespace {

class ByteWriter {
public:
    void U8(std::uint32_t v) { bytes_.push_back(static_cast<std::uint8_t>(v)); }
    void U16(std::uint32_t v)
    {
        U8(v & 0xFF);
        U8(v >> 8);
    }
    void U32(std::uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

constexpr std::uint32_t FileHeaderSize = 14;
constexpr std::uint32_t InfoHeaderSize = 40;

// Rows are padded to a multiple of four bytes.
std::uint32_t RowBytes(const ToolbarBitmap& bitmap)
{
    std::uint32_t bits = static_cast<std::uint32_t>(bitmap.size * bitmap.bitsPerPixel);
    return (bits + 31) / 32 * 4;
}

void WriteRow(const ToolbarBitmap& bitmap, int y, ByteWriter& out)
{
    const int size = bitmap.size;
    std::uint32_t written = 0;
    if (bitmap.bitsPerPixel == 32) {
        for (int x = 0; x < size; ++x) {
            Rgba p = bitmap.pixels.at(x, y);
            out.U8(p.b);
            out.U8(p.g);
            out.U8(p.r);
            out.U8(p.a);
            written += 4;
        }
    } else {
        const std::uint8_t* row = &bitmap.indices[static_cast<std::size_t>(y) * size];
        if (bitmap.bitsPerPixel == 8) {
            for (int x = 0; x < size; ++x, ++written) {
                out.U8(row[x]);
            }
        } else {  // 4 bits: the left pixel in the high nibble
            for (int x = 0; x < size; x += 2, ++written) {
                std::uint32_t right = x + 1 < size ? row[x + 1] : 0;
                out.U8(static_cast<std::uint32_t>(row[x] << 4) | right);
            }
        }
    }
    for (; written < RowBytes(bitmap); ++written) {
        out.U8(0);
    }
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const ToolbarBitmap& bitmap)
{
    const auto entries = static_cast<std::uint32_t>(bitmap.colorTable.size());
    const std::uint32_t imageSize = RowBytes(bitmap) * static_cast<std::uint32_t>(bitmap.size);
    const std::uint32_t offBits = FileHeaderSize + InfoHeaderSize + entries * 4;

    ByteWriter out;
    out.U8('B');
    out.U8('M');
    out.U32(offBits + imageSize);
    out.U32(0);  // reserved
    out.U32(offBits);

    out.U32(InfoHeaderSize);
    out.U32(static_cast<std::uint32_t>(bitmap.size));  // width
    out.U32(static_cast<std::uint32_t>(bitmap.size));  // positive height: bottom-up rows
    out.U16(1);                                        // planes
    out.U16(static_cast<std::uint32_t>(bitmap.bitsPerPixel));
    out.U32(0);  // BI_RGB
    out.U32(imageSize);
    out.U32(0);  // no preferred resolution
    out.U32(0);
    out.U32(entries);  // colours used
    out.U32(entries);  // colours important

    for (Rgba c : bitmap.colorTable) {
        out.U8(c.b);
        out.U8(c.g);
        out.U8(c.r);
        out.U8(0);
    }
    for (int y = bitmap.size - 1; y >= 0; --y) {
        WriteRow(bitmap, y, out);
    }
    return out.Take();
}
