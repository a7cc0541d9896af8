// The decode mode, kept per user under
// HKEY_CURRENT_USER\Software\Tarvik\LexivanePlugIns\<module base name>
// as the value "Mode". Every load and save opens the key afresh and closes it
// again; nothing is cached. Failures are silent.
#ifndef SETTINGS_SETTINGS_STORE_H
#define SETTINGS_SETTINGS_STORE_H

#include <windows.h>

// Ends `fileName` at its first '.', reading it character by character in
// the process's ANSI code page.
void CutAtFirstDot(char* fileName);

// Writes the module's base name (file name without folder, cut before its
// first '.') into `stem`, a buffer of MAX_PATH bytes. FALSE, with `stem`
// untouched, when the module's name cannot be had or does not fit.
BOOL GetModuleStem(char* stem);

// Writes the settings key path into `path`, a buffer of MAX_PATH bytes.
// FALSE, with `path` untouched, when there is no base name or the path would
// not fit.
BOOL GetSettingsKeyPath(char* path);

// Opens the settings key for reading and writing, creating it when missing.
// The caller closes the handle. Null when the key cannot be had.
HKEY OpenSettingsKey(void);

// Sets DecodeMode from "Mode" (0 when the value is missing or unreadable).
// FALSE, with DecodeMode unchanged, when the key cannot be opened.
BOOL LoadSettings(void);

// Writes DecodeMode to "Mode" as a REG_DWORD. FALSE when the key cannot be
// opened.
BOOL SaveSettings(void);

// Deletes the settings key with its value; the keys above it stay.
void DeleteSettingsKey(void);

#endif
