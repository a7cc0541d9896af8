// bitmap_generator: writes the fourteen toolbar bitmaps of the plug-in into a
// folder and, when asked, the contact sheet that shows them all.
//
//   bitmap_generator <bitmap folder> [<contact sheet .png>]
//
// The committed bitmaps in resources/bitmaps are this program's output; a
// test regenerates them and compares them byte for byte, and the contact
// sheet pixel for pixel.
#include "bmp_file.h"
#include "contact_sheet.h"
#include "png_file.h"
#include "toolbar_images.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace {

// Written beside the target and renamed over it, so that a failed run never
// leaves a half-written file under the real name.
bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::filesystem::path partial = path;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::cerr << "bitmap_generator: cannot write " << partial.string() << "\n";
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        std::cerr << "bitmap_generator: cannot write " << path.string() << ": " << error.message() << "\n";
        std::filesystem::remove(partial, error);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: bitmap_generator <bitmap folder> [<contact sheet .png>]\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    if (!std::filesystem::is_directory(folder)) {
        std::cerr << "bitmap_generator: no such folder: " << folder.string() << "\n";
        return 1;
    }
    const std::vector<ToolbarBitmap> bitmaps = BuildToolbarBitmaps();
    for (const ToolbarBitmap& bitmap : bitmaps) {
        if (!WriteFile(folder / bitmap.fileName, EncodeBmp(bitmap))) {
            return 1;
        }
    }
    if (argc == 3) {
        const std::vector<std::uint8_t> sheet = EncodePng(DrawContactSheet(bitmaps));
        if (sheet.empty()) {
            std::cerr << "bitmap_generator: cannot encode the contact sheet\n";
            return 1;
        }
        if (!WriteFile(argv[2], sheet)) {
            return 1;
        }
    }
    return 0;
}
