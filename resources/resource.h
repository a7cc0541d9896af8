// Resource ids of the plug-in, shared by the code and the resource scripts.
#ifndef RESOURCES_RESOURCE_H
#define RESOURCES_RESOURCE_H

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

// Toolbar bitmaps: 16 x 16 (small) and 24 x 24 (large), 4, 8 and 32 bits
#define IDB_SMALL_16COLOR               101
#define IDB_SMALL_256COLOR              104
#define IDB_SMALL_256COLOR_DISABLED     105
#define IDB_SMALL_256COLOR_HOT          107
#define IDB_LARGE_16COLOR               109
#define IDB_LARGE_256COLOR_DISABLED     110
#define IDB_LARGE_256COLOR              111
#define IDB_LARGE_256COLOR_HOT          112
#define IDB_SMALL_TRUECOLOR_DISABLED    113
#define IDB_SMALL_TRUECOLOR             114
#define IDB_SMALL_TRUECOLOR_HOT         115
#define IDB_LARGE_TRUECOLOR_DISABLED    117
#define IDB_LARGE_TRUECOLOR             118
#define IDB_LARGE_TRUECOLOR_HOT         119

#endif
