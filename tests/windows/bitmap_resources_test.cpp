// The fourteen toolbar bitmaps as the host gets them from the DLL through the
// system's loader: the same bytes as the committed files, and the rules of
// each depth and state checked on what the loader returns.
#include "bmp_reader.h"
#include "plugin_harness.h"
#include "toolbar_bitmap_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class BitmapResourcesTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin->Loaded()); }

    // The bitmap resource: a BITMAPINFOHEADER, its colour table, the rows.
    std::vector<std::uint8_t> Resource(UINT id) const
    {
        HRSRC found = FindResourceA(plugin->module, MAKEINTRESOURCEA(id), RT_BITMAP);
        if (found == nullptr)
            return {};
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(plugin->module, found)));
        return std::vector<std::uint8_t>(data, data + SizeofResource(plugin->module, found));
    }

    // The resource with the 14-byte file header that a .bmp file puts before it.
    BmpFile Parse(UINT id, std::string& error) const
    {
        const std::vector<std::uint8_t> resource = Resource(id);
        if (resource.size() < sizeof(BITMAPINFOHEADER)) {
            error = "no resource";
            return BmpFile();
        }
        BITMAPINFOHEADER info;
        std::memcpy(&info, resource.data(), sizeof info);
        const DWORD entries = info.biBitCount > 8 ? 0 : info.biClrUsed ? info.biClrUsed : 1u << info.biBitCount;
        const std::uint32_t offset = 14 + info.biSize + 4 * entries;
        std::vector<std::uint8_t> file(14 + resource.size(), 0);
        const std::uint32_t size = static_cast<std::uint32_t>(file.size());
        file[0] = 'B';
        file[1] = 'M';
        std::memcpy(&file[2], &size, 4);
        std::memcpy(&file[10], &offset, 4);
        std::memcpy(&file[14], resource.data(), resource.size());
        return ParseBmp(file, error);
    }

    LoadedPlugin* const plugin = &SharedPlugin();
};

// The committed file, read from the source tree through Wine's Z: drive.
std::vector<std::uint8_t> CommittedFile(const char* name)
{
    std::string path = std::string("Z:") + BITMAP_SOURCE_FOLDER + "/" + name;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return ReadFileBytes(path);
}

TEST_F(BitmapResourcesTest, SameBytesAsTheCommittedFiles)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        const std::vector<std::uint8_t> file = CommittedFile(row.file);
        ASSERT_GT(file.size(), 14u) << row.file;
        const std::vector<std::uint8_t> withoutHeader(file.begin() + 14, file.end());
        EXPECT_TRUE(withoutHeader == Resource(static_cast<UINT>(row.id))) << "bitmap " << row.id << ", " << row.file;
        EXPECT_NE(nullptr, LoadImageA(plugin->module, MAKEINTRESOURCEA(static_cast<UINT>(row.id)), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))
            << "bitmap " << row.id;
    }
}

const Color Magenta{255, 0, 255, 255};
const Color Black{0, 0, 0, 255};

TEST_F(BitmapResourcesTest, EachDepthFollowsItsRules)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        std::string error;
        const BmpFile bmp = Parse(static_cast<UINT>(row.id), error);
        ASSERT_TRUE(error.empty()) << "bitmap " << row.id << ": " << error;
        EXPECT_EQ(40u, bmp.infoSize) << "bitmap " << row.id;
        EXPECT_EQ(row.size, bmp.width) << "bitmap " << row.id;
        EXPECT_EQ(row.size, bmp.height) << "bitmap " << row.id << ": rows bottom-up";
        EXPECT_EQ(1, bmp.planes) << "bitmap " << row.id;
        EXPECT_EQ(row.bits, bmp.bitCount) << "bitmap " << row.id;
        EXPECT_EQ(0u, bmp.compression) << "bitmap " << row.id << ": BI_RGB";
        for (int y = 0; y < bmp.height; ++y) {
            for (int x = 0; x < bmp.width; ++x) {
                const Color pixel = bmp.At(x, y);
                const bool corner = bmp.IsCorner(x, y);
                const std::string where = "bitmap " + std::to_string(row.id) + " at " + std::to_string(x) + "," +
                                          std::to_string(y);
                if (row.bits == 4) {
                    ASSERT_FALSE(pixel == Magenta || pixel == Black) << where;
                } else if (row.bits == 8) {
                    ASSERT_EQ(corner, pixel == Magenta) << where;
                } else {
                    ASSERT_EQ(corner ? 0 : 255, pixel.a) << where;
                    if (corner) {
                        ASSERT_TRUE(pixel.r == 0 && pixel.g == 0 && pixel.b == 0) << where;
                    }
                }
                if (row.state == State::Disabled && !corner) {
                    ASSERT_TRUE(pixel.r == pixel.g && pixel.g == pixel.b) << where << ": greys only";
                }
            }
        }
        if (row.bits == 4) {
            EXPECT_EQ(16u, bmp.table.size()) << "bitmap " << row.id;
        } else if (row.bits == 8) {
            EXPECT_EQ(bmp.table.size(), bmp.colorsUsed) << "bitmap " << row.id;
            EXPECT_EQ(bmp.colorsUsed, bmp.colorsImportant) << "bitmap " << row.id;
        } else {
            EXPECT_TRUE(bmp.table.empty()) << "bitmap " << row.id;
        }
    }
}

TEST_F(BitmapResourcesTest, HotImagesAreSixToEightPerCentDarker)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        if (row.state != State::Hot)
            continue;
        std::string error;
        const double hot = MeanBrightness(Parse(static_cast<UINT>(row.id), error));
        const BitmapRow& normalRow = Find(row.size, row.bits, State::Normal);
        const double normal = MeanBrightness(Parse(static_cast<UINT>(normalRow.id), error));
        ASSERT_GT(normal, 0.0) << "bitmap " << normalRow.id;
        const double ratio = hot / normal;
        EXPECT_GE(ratio, 0.92) << "bitmap " << row.id;
        EXPECT_LE(ratio, 0.94) << "bitmap " << row.id;
    }
}

}  // namespace
