// The fourteen toolbar bitmaps as committed in resources/bitmaps: the format
// that the host expects of each depth, the rules of the states, and that the
// generator still writes exactly these files.
#include "bmp_reader.h"
#include "resource.h"
#include "toolbar_bitmap_table.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const Color Magenta{255, 0, 255, 255};
const Color Black{0, 0, 0, 255};
const Color LightGrey{192, 192, 192, 255};

const fs::path SourceDir = PROJECT_SOURCE_PATH;
const fs::path BitmapDir = SourceDir / "resources" / "bitmaps";
const fs::path ContactSheet = SourceDir / "docs" / "images" / "toolbar-bitmaps.png";

// A file that cannot be read counts as a failure and is left out of the
// rest of the test.
bool Load(const BitmapRow& row, BmpFile& bmp)
{
    SCOPED_TRACE(row.file);
    std::string error;
    bmp = ParseBmp(ReadFileBytes<std::vector<std::uint8_t>>((BitmapDir / row.file).string()), error);
    EXPECT_EQ("", error);
    return error.empty();
}

TEST(BitmapFiles, HeadersSizesAndTables)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        SCOPED_TRACE(row.file);
        BmpFile bmp;
        if (!Load(row, bmp)) {
            continue;
        }
        const std::size_t rowBytes = static_cast<std::size_t>(row.size * row.bits + 31) / 32 * 4;
        const std::size_t entries = row.bits == 4 ? 16 : (row.bits == 32 ? 0 : bmp.table.size());
        EXPECT_EQ(40u, bmp.infoSize);
        EXPECT_EQ(row.size, bmp.width);
        EXPECT_EQ(row.size, bmp.height) << "positive height: rows bottom-up";
        EXPECT_EQ(1, bmp.planes);
        EXPECT_EQ(row.bits, bmp.bitCount);
        EXPECT_EQ(0u, bmp.compression) << "BI_RGB";
        EXPECT_EQ(entries, bmp.table.size());
        EXPECT_EQ(14 + 40 + 4 * entries, bmp.pixelOffset);
        EXPECT_EQ(bmp.pixelOffset + rowBytes * row.size, bmp.fileBytes);
        EXPECT_EQ(bmp.fileBytes, bmp.declaredFileSize);
        if (row.bits == 8) {
            EXPECT_GE(bmp.table.size(), 3u);
            EXPECT_LE(bmp.table.size(), 256u);
            EXPECT_EQ(bmp.table.size(), bmp.colorsUsed) << "colours used = entries";
            EXPECT_EQ(bmp.table.size(), bmp.colorsImportant) << "colours important = entries";
        }
        if (row.bits == 32) {
            EXPECT_EQ(0u, bmp.colorsUsed);
        }
    }
}

// 4 bits: the motif on light grey, opaque, without magenta or black; the
// mask colour answered for this depth is black, so black would punch holes.
TEST(BitmapFiles, SixteenColourImagesUseNoMaskColours)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        if (row.bits != 4) {
            continue;
        }
        SCOPED_TRACE(row.file);
        BmpFile bmp;
        if (!Load(row, bmp)) {
            continue;
        }
        std::set<int> used(bmp.indices.begin(), bmp.indices.end());
        EXPECT_EQ(LightGrey, bmp.At(0, 0)) << "background";
        EXPECT_GE(used.size(), 4u) << "a picture, not a blank";
        for (int index : used) {
            EXPECT_FALSE(bmp.table[index] == Magenta) << "index " << index;
            EXPECT_FALSE(bmp.table[index] == Black) << "index " << index;
        }
    }
}

// 8 bits: magenta at the four corners and nowhere else; 32 bits: the corners
// all zero, every other pixel opaque.
TEST(BitmapFiles, TransparentCornersOnly)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        if (row.bits == 4) {
            continue;
        }
        SCOPED_TRACE(row.file);
        BmpFile bmp;
        if (!Load(row, bmp)) {
            continue;
        }
        for (int y = 0; y < bmp.height; ++y) {
            for (int x = 0; x < bmp.width; ++x) {
                const Color c = bmp.At(x, y);
                const bool corner = bmp.IsCorner(x, y);
                if (row.bits == 8) {
                    EXPECT_EQ(corner, c == Magenta) << "pixel " << x << "," << y;
                    EXPECT_FALSE(c == Black) << "pixel " << x << "," << y;
                } else if (corner) {
                    EXPECT_TRUE(c == (Color{0, 0, 0, 0})) << "corner " << x << "," << y;
                } else {
                    EXPECT_EQ(255, c.a) << "pixel " << x << "," << y;
                }
            }
        }
    }
}

// The short table: every colour that a pixel uses once, plus one black entry
// that no pixel uses.
TEST(BitmapFiles, EightBitTablesHoldTheUsedColoursAndOneUnusedBlack)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        if (row.bits != 8) {
            continue;
        }
        SCOPED_TRACE(row.file);
        BmpFile bmp;
        if (!Load(row, bmp)) {
            continue;
        }
        std::vector<int> uses(bmp.table.size(), 0);
        for (int index : bmp.indices) {
            ++uses[index];
        }
        int unused = 0;
        for (std::size_t i = 0; i < bmp.table.size(); ++i) {
            if (uses[i] == 0) {
                ++unused;
                EXPECT_TRUE(bmp.table[i] == Black) << "unused entry " << i << " is not black";
            }
            for (std::size_t j = 0; j < i; ++j) {
                EXPECT_FALSE(bmp.table[i] == bmp.table[j]) << "entries " << j << " and " << i << " alike";
            }
        }
        EXPECT_EQ(1, unused);
    }
}

TEST(BitmapFiles, DisabledImagesAreGreysOnly)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        if (row.state != ButtonState::Disabled) {
            continue;
        }
        SCOPED_TRACE(row.file);
        BmpFile bmp;
        if (!Load(row, bmp)) {
            continue;
        }
        std::set<int> levels;
        for (int y = 0; y < bmp.height; ++y) {
            for (int x = 0; x < bmp.width; ++x) {
                const Color c = bmp.At(x, y);
                if (!bmp.IsCorner(x, y)) {
                    EXPECT_TRUE(c.r == c.g && c.g == c.b) << "pixel " << x << "," << y;
                    levels.insert(c.r);
                }
            }
        }
        EXPECT_GE(levels.size(), 4u) << "a picture, not a blank";
    }
}

TEST(BitmapFiles, HotImagesAreSixToEightPerCentDarker)
{
    for (int size : {16, 24}) {
        for (int bits : {8, 32}) {
            const BitmapRow& normal = Find(size, bits, ButtonState::Normal);
            const BitmapRow& hot = Find(size, bits, ButtonState::Hot);
            SCOPED_TRACE(testing::Message() << hot.file << " against " << normal.file);
            BmpFile normalBmp;
            BmpFile hotBmp;
            if (!Load(normal, normalBmp) || !Load(hot, hotBmp)) {
                continue;
            }
            const double ratio = MeanBrightness(hotBmp) / MeanBrightness(normalBmp);
            EXPECT_GE(ratio, 0.92);
            EXPECT_LE(ratio, 0.94);
        }
    }
}

// The 8-bit image of a size and state is the 32-bit one through a colour
// table: the same pixels within small shifts of each channel.
TEST(BitmapFiles, EightBitAndTrueColourShowTheSamePicture)
{
    const int LargestShift = 4;
    for (int size : {16, 24}) {
        for (ButtonState state : {ButtonState::Normal, ButtonState::Disabled, ButtonState::Hot}) {
            const BitmapRow& paletted = Find(size, 8, state);
            const BitmapRow& truecolor = Find(size, 32, state);
            SCOPED_TRACE(std::string(paletted.file) + " against " + truecolor.file);
            BmpFile a;
            BmpFile b;
            if (!Load(paletted, a) || !Load(truecolor, b)) {
                continue;
            }
            ASSERT_EQ(a.pixels.size(), b.pixels.size());
            int largest = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    const Color p = a.At(x, y);
                    const Color q = b.At(x, y);
                    ASSERT_EQ(p == Magenta, q.a == 0) << "transparency of " << x << "," << y;
                    if (q.a != 0) {
                        largest = std::max({largest, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
                    }
                }
            }
            EXPECT_LE(largest, LargestShift);
        }
    }
}

// A fresh folder under the test's temporary directory, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::mt19937_64 random(
            static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()));
        path_ = fs::path(testing::TempDir()) / ("bitmap_generator_" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The RGB pixels of a PNG file, empty when it is no PNG.
std::vector<std::uint8_t> PngPixels(const fs::path& path)
{
    const std::vector<std::uint8_t> bytes = ReadFileBytes<std::vector<std::uint8_t>>(path.string());
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (bytes.empty() || !png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
        return {};
    png.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr))
        return {};
    return pixels;
}

int RunGenerator(const std::vector<fs::path>& arguments)
{
    std::string command = std::string("\"") + BITMAP_GENERATOR_PATH + "\"";
    for (const fs::path& argument : arguments) {
        command += " \"" + argument.string() + "\"";
    }
    return std::system((command + " 2>/dev/null").c_str());
}

TEST(BitmapGenerator, RewritesTheCommittedFiles)
{
    ScratchFolder scratch;
    const fs::path sheet = scratch.path() / "sheet.png";
    ASSERT_EQ(0, RunGenerator({scratch.path(), sheet}));

    std::set<std::string> committed;
    for (const fs::directory_entry& entry : fs::directory_iterator(BitmapDir)) {
        committed.insert(entry.path().filename().string());
    }
    std::set<std::string> expected;
    for (const BitmapRow& row : ToolbarBitmaps) {
        expected.insert(row.file);
        EXPECT_TRUE(ReadFileBytes((scratch.path() / row.file).string()) ==
                    ReadFileBytes((BitmapDir / row.file).string()))
            << row.file << " differs from what the generator writes: run the update_bitmaps target";
    }
    EXPECT_EQ(expected, committed) << "resources/bitmaps holds the fourteen files and nothing else";
    EXPECT_FALSE(PngPixels(sheet).empty());
    // Byte for byte, so that a fresh clone stays clean after update_bitmaps.
    EXPECT_TRUE(ReadFileBytes(sheet.string()) == ReadFileBytes(ContactSheet.string()))
        << "the contact sheet differs: run the update_bitmaps target";
}

TEST(BitmapGenerator, FailsOnAMissingFolderAndWritesNothing)
{
    ScratchFolder scratch;
    const fs::path missing = scratch.path() / "missing";
    EXPECT_NE(0, RunGenerator({missing}));
    EXPECT_NE(0, RunGenerator({}));
    EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
