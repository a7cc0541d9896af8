// The properties dialog: two radio buttons choose the decode mode.
#ifndef PLUGIN_PROPERTIES_DIALOG_H
#define PLUGIN_PROPERTIES_DIALOG_H

#include <windows.h>

// Dialog procedure of IDD_PROPERTIES. Opening loads the settings and selects
// the button of the stored mode; OK stores the selected mode and ends with
// IDOK; Cancel, Esc and the close box end with IDCANCEL and store nothing.
INT_PTR CALLBACK PropertiesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
