// Where a plug-in of this host interface keeps its settings, as a host sees
// it: the key HKEY_CURRENT_USER\Software\Tarvik\LexivanePlugIns\<stem>, the
// stem being the DLL's file name up to its first '.', and in it the mode as
// the REG_DWORD value "Mode".
#ifndef TOOLS_HOST_SIDE_PLUGIN_SETTINGS_H
#define TOOLS_HOST_SIDE_PLUGIN_SETTINGS_H

#include <windows.h>

#include <string>

// The settings key of the plug-in whose file name starts with `stem`.
std::string PlugInSettingsKey(const std::string& stem);

// The stem of a DLL's path: its file name up to the first '.'.
std::string PlugInStem(const std::string& path);

// Writes `mode` as the plug-in's "Mode", creating the key when missing.
// False when the key cannot be created or the value not written.
bool StorePlugInMode(const std::string& stem, DWORD mode);

#endif
