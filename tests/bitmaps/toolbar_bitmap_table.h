// The fourteen toolbar bitmaps from the resource ids' table, for the tests of
// the files and of the built DLL.
#ifndef TESTS_BITMAPS_TOOLBAR_BITMAP_TABLE_H
#define TESTS_BITMAPS_TOOLBAR_BITMAP_TABLE_H

#include "resource.h"

#include <stdexcept>

struct BitmapRow {
    int id;
    const char* idName;
    const char* file;  // in resources/bitmaps
    int size;
    int bits;
    ButtonState state;
};

// The file name without the folder that the resource script names.
constexpr const char* FileInFolder(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p != 0; ++p) {
        if (*p == '/')
            name = p + 1;
    }
    return name;
}

#define BITMAP_ROW(name, id, file, size, bits, state) {id, #name, FileInFolder(file), size, bits, ButtonState::state},
inline const BitmapRow ToolbarBitmaps[] = {TOOLBAR_BITMAPS(BITMAP_ROW)};
#undef BITMAP_ROW

inline const BitmapRow& Find(int size, int bits, ButtonState state)
{
    for (const BitmapRow& row : ToolbarBitmaps) {
        if (row.size == size && row.bits == bits && row.state == state) {
            return row;
        }
    }
    throw std::logic_error("no such bitmap in the table");
}

#endif
