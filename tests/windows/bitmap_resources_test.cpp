// The fourteen toolbar bitmaps as the host gets them from the DLL through the
// system's loader: the bytes of the committed files, whose format and rules
// the tests of tests/bitmaps check, and a bitmap that the loader makes of each.
#include "bmp_reader.h"
#include "plugin_harness.h"
#include "toolbar_bitmap_table.h"

#include <gtest/gtest.h>

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

    LoadedPlugIn* const plugin = &SharedPlugIn();
};

// The committed file, read from the source tree through Wine's Z: drive.
std::vector<std::uint8_t> CommittedFile(const char* name)
{
    std::string path = std::string("Z:") + BITMAP_SOURCE_FOLDER + "/" + name;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return ReadFileBytes<std::vector<std::uint8_t>>(path);
}

TEST_F(BitmapResourcesTest, SameBytesAsTheCommittedFiles)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        SCOPED_TRACE(testing::Message() << row.idName << ", " << row.file);
        const std::vector<std::uint8_t> file = CommittedFile(row.file);
        ASSERT_GT(file.size(), 14u);
        const std::vector<std::uint8_t> withoutHeader(file.begin() + 14, file.end());
        EXPECT_TRUE(withoutHeader == Resource(static_cast<UINT>(row.id))) << "not the bytes of the file";
        EXPECT_NE(nullptr, LoadImageA(plugin->module, MAKEINTRESOURCEA(static_cast<UINT>(row.id)), IMAGE_BITMAP, 0, 0,
                                      LR_CREATEDIBSECTION));
    }
}

}  // namespace
