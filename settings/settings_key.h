// Where the plug-in keeps its settings, as the plug-in and a host both name
// it: the key HKEY_CURRENT_USER\Software\Tarvik\LexivanePlugIns\ followed by
// the module's file name up to its first '.', and in it the value "Mode".
#ifndef SETTINGS_SETTINGS_KEY_H
#define SETTINGS_SETTINGS_KEY_H

inline constexpr char SettingsKeyPrefix[] = "Software\\Tarvik\\LexivanePlugIns\\";
inline constexpr char ModeValueName[] = "Mode";

#endif
