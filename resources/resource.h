// Resource ids of the plug-in, shared by the code and the resource scripts.
#ifndef RESOURCES_RESOURCE_H
#define RESOURCES_RESOURCE_H

// The ids stand in aligned columns, as they are read.
// clang-format off
// Strings
#define IDS_CONFIRM_UNINSTALL           1
#define IDS_VERSION                     2
#define IDS_MENU_TEXT                   3
#define IDS_STATUS_MESSAGE              4

// The properties dialog and its radio buttons
#define IDD_PROPERTIES                  101
#define IDC_CHAR_REF                    1002
#define IDC_UCN                         1003
#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif

// Toolbar bitmaps, one row each: the one list that the resource script, the
// bitmap generator, the plug-in's bitmap answer and the tests expand.
//   X(name, id, file, size in pixels, bits per pixel, state)
// The 16-colour images serve every state.
#define TOOLBAR_BITMAPS(X) \
    X(IDB_SMALL_16COLOR,            101, "bitmaps/small_16color.bmp",            16,  4, AnyState) \
    X(IDB_SMALL_256COLOR,           104, "bitmaps/small_256color.bmp",           16,  8, Normal)   \
    X(IDB_SMALL_256COLOR_DISABLED,  105, "bitmaps/small_256color_disabled.bmp",  16,  8, Disabled) \
    X(IDB_SMALL_256COLOR_HOT,       107, "bitmaps/small_256color_hot.bmp",       16,  8, Hot)      \
    X(IDB_LARGE_16COLOR,            109, "bitmaps/large_16color.bmp",            24,  4, AnyState) \
    X(IDB_LARGE_256COLOR_DISABLED,  110, "bitmaps/large_256color_disabled.bmp",  24,  8, Disabled) \
    X(IDB_LARGE_256COLOR,           111, "bitmaps/large_256color.bmp",           24,  8, Normal)   \
    X(IDB_LARGE_256COLOR_HOT,       112, "bitmaps/large_256color_hot.bmp",       24,  8, Hot)      \
    X(IDB_SMALL_TRUECOLOR_DISABLED, 113, "bitmaps/small_truecolor_disabled.bmp", 16, 32, Disabled) \
    X(IDB_SMALL_TRUECOLOR,          114, "bitmaps/small_truecolor.bmp",          16, 32, Normal)   \
    X(IDB_SMALL_TRUECOLOR_HOT,      115, "bitmaps/small_truecolor_hot.bmp",      16, 32, Hot)      \
    X(IDB_LARGE_TRUECOLOR_DISABLED, 117, "bitmaps/large_truecolor_disabled.bmp", 24, 32, Disabled) \
    X(IDB_LARGE_TRUECOLOR,          118, "bitmaps/large_truecolor.bmp",          24, 32, Normal)   \
    X(IDB_LARGE_TRUECOLOR_HOT,      119, "bitmaps/large_truecolor_hot.bmp",      24, 32, Hot)

// The bitmap ids by name, for the code (the resource compiler takes the
// numbers from the rows).
// clang-format on
#ifndef RC_INVOKED
#define TOOLBAR_BITMAP_ID(name, id, file, size, bits, state) name = id,
enum ToolbarBitmapId { TOOLBAR_BITMAPS(TOOLBAR_BITMAP_ID) };
#undef TOOLBAR_BITMAP_ID

// The button state a toolbar bitmap is drawn for, the last column of the
// rows; AnyState: one image for every state (the 16-colour ones).
enum class ButtonState { AnyState, Normal, Disabled, Hot };
#endif

#endif
