// The seven functions that the host calls, exported undecorated by ordinal.
// All use the standard calling convention: on x86 the callee removes its
// arguments. One row each, in ordinal order:
//   X(ordinal, name, result, parameters)
// The plug-in declares its exports from these rows, the build writes the
// module definition file from them, and a host looks them up by them.
#ifndef HOST_INTERFACE_PLUGIN_EXPORTS_H
#define HOST_INTERFACE_PLUGIN_EXPORTS_H

#include <windows.h>

#define PLUGIN_EXPORTS(X)                                                                                              \
    X(1, OnCommand, void, (HWND host))                                                                                 \
    X(2, QueryStatus, BOOL, (HWND host, LPDWORD enabledFlag))                                                          \
    X(3, OnEvents, void, (HWND host, DWORD events, DWORD value))                                                       \
    X(4, GetMenuTextID, UINT, (void))                                                                                  \
    X(5, GetStatusMessageID, UINT, (void))                                                                             \
    X(6, GetBitmapID, UINT, (void))                                                                                    \
    X(7, PlugInProc, LRESULT, (HWND host, UINT message, WPARAM wParam, LPARAM lParam))

enum { PlugInExportCount = 7 };

extern "C" {
#define DECLARE_PLUGIN_EXPORT(ordinal, name, result, parameters) result WINAPI name parameters;
PLUGIN_EXPORTS(DECLARE_PLUGIN_EXPORT)
#undef DECLARE_PLUGIN_EXPORT
}

#endif
