#include "png_file.h"

#include <array>
#include <utility>

namespace {

class BitWriter {
public:
    // Deflate packs its bits from the least significant end of each byte.
    void Bits(std::uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i) {
            if (used_ == 0) {
                bytes_.push_back(0);
            }
            bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (((value >> i) & 1u) << used_));
            used_ = (used_ + 1) % 8;
        }
    }
    // Huffman codes go out most significant bit first.
    void Code(std::uint32_t code, int length)
    {
        for (int i = length - 1; i >= 0; --i) {
            Bits((code >> i) & 1u, 1);
        }
    }
    std::vector<std::uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    int used_ = 0;
};

void LiteralOrLength(BitWriter& out, int symbol)
{
    if (symbol < 144) {
        out.Code(0x30 + symbol, 8);
    } else if (symbol < 256) {
        out.Code(0x190 + (symbol - 144), 9);
    } else if (symbol < 280) {
        out.Code(symbol - 256, 7);
    } else {
        out.Code(0xC0 + (symbol - 280), 8);
    }
}

const int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                               33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

template <std::size_t N>
int CodeFor(const int (&bases)[N], int value)
{
    int code = 0;
    while (code + 1 < static_cast<int>(N) && bases[code + 1] <= value) {
        ++code;
    }
    return code;
}

void Match(BitWriter& out, int length, int distance)
{
    int lengthCode = CodeFor(kLengthBase, length);
    LiteralOrLength(out, 257 + lengthCode);
    out.Bits(static_cast<std::uint32_t>(length - kLengthBase[lengthCode]), kLengthExtra[lengthCode]);
    int distanceCode = CodeFor(kDistanceBase, distance);
    out.Code(static_cast<std::uint32_t>(distanceCode), 5);
    out.Bits(static_cast<std::uint32_t>(distance - kDistanceBase[distanceCode]), kDistanceExtra[distanceCode]);
}

// One final block with the fixed codes; greedy matches at the given distances.
std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data, const std::vector<int>& distances)
{
    BitWriter out;
    out.Bits(1, 1);  // final block
    out.Bits(1, 2);  // fixed Huffman codes
    const std::size_t n = data.size();
    std::size_t i = 0;
    while (i < n) {
        int bestLength = 0;
        int bestDistance = 0;
        for (int distance : distances) {
            if (distance < 1 || distance > 32768 || static_cast<std::size_t>(distance) > i) {
                continue;
            }
            int length = 0;
            while (length < 258 && i + length < n && data[i + length] == data[i + length - distance]) {
                ++length;
            }
            if (length > bestLength) {
                bestLength = length;
                bestDistance = distance;
            }
        }
        if (bestLength >= 3) {
            Match(out, bestLength, bestDistance);
            i += static_cast<std::size_t>(bestLength);
        } else {
            LiteralOrLength(out, data[i]);
            ++i;
        }
    }
    LiteralOrLength(out, 256);  // end of block
    return std::move(out.Bytes());
}

std::uint32_t Adler32(const std::vector<std::uint8_t>& data)
{
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& body)
{
    PutU32(out, static_cast<std::uint32_t>(body.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutU32(out, Crc32(typed.data(), typed.size()));
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const Image& image, int repeat)
{
    // Scanlines, each with filter type 0 (none).
    std::vector<std::uint8_t> raw;
    const int rowBytes = 1 + image.width * 3;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < image.width; ++x) {
            Rgba p = image.at(x, y);
            raw.push_back(p.r);
            raw.push_back(p.g);
            raw.push_back(p.b);
        }
    }

    std::vector<std::uint8_t> zlib = {0x78, 0x01};
    std::vector<std::uint8_t> deflated = Deflate(raw, {rowBytes, 3, 3 * repeat, 1});
    zlib.insert(zlib.end(), deflated.begin(), deflated.end());
    PutU32(zlib, Adler32(raw));

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutU32(header, static_cast<std::uint32_t>(image.width));
    PutU32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter variants, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});
    return png;
}
