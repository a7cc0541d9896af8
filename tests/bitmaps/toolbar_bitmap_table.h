// The fourteen toolbar bitmaps: id, file in resources/bitmaps, size, depth
// and state. Shared by the tests of the files and of the built DLL.
#ifndef TESTS_BITMAPS_TOOLBAR_BITMAP_TABLE_H
#define TESTS_BITMAPS_TOOLBAR_BITMAP_TABLE_H

#include "resource.h"

#include <stdexcept>

enum class State { AllStates, Normal, Disabled, Hot };

struct BitmapRow {
    int id;
    const char* idName;
    const char* file;
    int size;
    int bits;
    State state;
};

#define ROW(id, file, size, bits, state) {id, #id, file, size, bits, State::state}
inline const BitmapRow kBitmaps[] = {
    ROW(IDB_SMALL_16COLOR, "small_16color.bmp", 16, 4, AllStates),
    ROW(IDB_SMALL_256COLOR, "small_256color.bmp", 16, 8, Normal),
    ROW(IDB_SMALL_256COLOR_DISABLED, "small_256color_disabled.bmp", 16, 8, Disabled),
    ROW(IDB_SMALL_256COLOR_HOT, "small_256color_hot.bmp", 16, 8, Hot),
    ROW(IDB_LARGE_16COLOR, "large_16color.bmp", 24, 4, AllStates),
    ROW(IDB_LARGE_256COLOR_DISABLED, "large_256color_disabled.bmp", 24, 8, Disabled),
    ROW(IDB_LARGE_256COLOR, "large_256color.bmp", 24, 8, Normal),
    ROW(IDB_LARGE_256COLOR_HOT, "large_256color_hot.bmp", 24, 8, Hot),
    ROW(IDB_SMALL_TRUECOLOR_DISABLED, "small_truecolor_disabled.bmp", 16, 32, Disabled),
    ROW(IDB_SMALL_TRUECOLOR, "small_truecolor.bmp", 16, 32, Normal),
    ROW(IDB_SMALL_TRUECOLOR_HOT, "small_truecolor_hot.bmp", 16, 32, Hot),
    ROW(IDB_LARGE_TRUECOLOR_DISABLED, "large_truecolor_disabled.bmp", 24, 32, Disabled),
    ROW(IDB_LARGE_TRUECOLOR, "large_truecolor.bmp", 24, 32, Normal),
    ROW(IDB_LARGE_TRUECOLOR_HOT, "large_truecolor_hot.bmp", 24, 32, Hot),
};
#undef ROW

inline const BitmapRow& Find(int size, int bits, State state)
{
    for (const BitmapRow& row : kBitmaps) {
        if (row.size == size && row.bits == bits && row.state == state) {
            return row;
        }
    }
    throw std::logic_error("no such bitmap in the table");
}

#endif
