// The seven functions that the host calls, exported undecorated by ordinal
// (plugin.def). All use the standard calling convention: the callee removes
// its arguments.
#ifndef PLUGIN_PLUGIN_EXPORTS_H
#define PLUGIN_PLUGIN_EXPORTS_H

#include <windows.h>

extern "C" {
void WINAPI OnCommand(HWND host);                                               // 1
BOOL WINAPI QueryStatus(HWND host, LPDWORD enabledFlag);                       // 2
void WINAPI OnEvents(HWND host, DWORD events, DWORD value);                    // 3
UINT WINAPI GetMenuTextID(void);                                               // 4
UINT WINAPI GetStatusMessageID(void);                                          // 5
UINT WINAPI GetBitmapID(void);                                                 // 6
LRESULT WINAPI PlugInProc(HWND host, UINT message, WPARAM wParam, LPARAM lParam);  // 7
}

#endif
