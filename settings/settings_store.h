// The decode mode, kept per user under
// HKEY_CURRENT_USER\Software\Tarvik\LexivanePlugIns\<module base name>
// as the value "Mode". Every load and save opens the key afresh and closes it
// again; nothing is cached. Failures are silent. The store holds no state:
// the caller names the module whose file name gives the key, and keeps the
// mode itself.
#ifndef SETTINGS_SETTINGS_STORE_H
#define SETTINGS_SETTINGS_STORE_H

#include <windows.h>

#include <cstdint>

// Ends `fileName` at its first '.', reading it character by character in
// the process's ANSI code page.
void CutAtFirstDot(char* fileName);

// Writes the base name of `module` (file name without folder, cut before its
// first '.') into `stem`, a buffer of MAX_PATH bytes. FALSE, with `stem`
// untouched, when the module's name cannot be had or does not fit.
BOOL GetModuleStem(HMODULE module, char* stem);

// Writes the settings key path into `path`, a buffer of MAX_PATH bytes.
// FALSE, with `path` untouched, when there is no base name or the path would
// not fit.
BOOL GetSettingsKeyPath(HMODULE module, char* path);

// Opens the settings key for reading and writing, creating it when missing.
// The caller closes the handle. Null when the key cannot be had.
HKEY OpenSettingsKey(HMODULE module);

// Sets `*mode` from "Mode", whatever 32-bit value it holds (0 when the value
// is missing or unreadable). FALSE, with `*mode` unchanged, when the key
// cannot be opened.
BOOL LoadSettings(HMODULE module, std::int32_t* mode);

// Writes `mode` to "Mode" as a REG_DWORD. FALSE when the key cannot be
// opened.
BOOL SaveSettings(HMODULE module, std::int32_t mode);

// Deletes the settings key with its value; the keys above it stay.
void DeleteSettingsKey(HMODULE module);

#endif
