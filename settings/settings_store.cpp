#include "settings_store.h"

#include "module_stem.h"
#include "settings_key.h"

namespace {

const REGSAM SettingsKeyAccess = KEY_READ | KEY_WRITE;  // 0x2001F

}  // namespace

void CutAtFirstDot(char* fileName)
{
    CPINFO info;
    const unsigned char noLeadBytes[2] = {0, 0};
    const unsigned char* leadBytes = noLeadBytes;
    if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1)
        leadBytes = info.LeadByte;
    char* dot = FindFirstDot(fileName, leadBytes);
    if (dot != nullptr)
        *dot = 0;
}

BOOL GetModuleStem(HMODULE module, char* stem)
{
    char fileName[MAX_PATH];
    const DWORD nameLength = GetModuleFileNameA(module, fileName, MAX_PATH);
    if (nameLength == 0 || nameLength >= MAX_PATH)
        return FALSE;  // no name, or one cut short

    char fullPath[MAX_PATH];
    char* filePart = fullPath;
    const DWORD pathLength = GetFullPathNameA(fileName, MAX_PATH, fullPath, &filePart);
    if (pathLength == 0 || pathLength >= MAX_PATH || filePart == nullptr)
        return FALSE;  // failed, needs a larger buffer, or names a folder

    CutAtFirstDot(filePart);
    lstrcpyA(stem, filePart);
    return TRUE;
}

BOOL GetSettingsKeyPath(HMODULE module, char* path)
{
    char stem[MAX_PATH];
    if (!GetModuleStem(module, stem))
        return FALSE;
    // The prefix, the base name and the terminator must fit in MAX_PATH.
    if (sizeof SettingsKeyPrefix + lstrlenA(stem) > MAX_PATH)
        return FALSE;
    lstrcpyA(path, SettingsKeyPrefix);
    lstrcatA(path, stem);
    return TRUE;
}

HKEY OpenSettingsKey(HMODULE module)
{
    char path[MAX_PATH];
    if (!GetSettingsKeyPath(module, path))
        return nullptr;
    HKEY key = nullptr;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, SettingsKeyAccess, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

BOOL LoadSettings(HMODULE module, std::int32_t* mode)
{
    HKEY key = OpenSettingsKey(module);
    if (key == nullptr)
        return FALSE;
    // A value shorter than 4 bytes fills the low bytes; the others stay 0.
    BYTE data[4] = {0, 0, 0, 0};
    DWORD type;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, ModeValueName, nullptr, &type, data, &size) == ERROR_SUCCESS) {
        const DWORD value = data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24;
        *mode = static_cast<std::int32_t>(value);
    } else {
        *mode = 0;  // missing, longer than 4 bytes, or unreadable
    }
    RegCloseKey(key);
    return TRUE;
}

BOOL SaveSettings(HMODULE module, std::int32_t mode)
{
    HKEY key = OpenSettingsKey(module);
    if (key == nullptr)
        return FALSE;
    const DWORD value = static_cast<DWORD>(mode);
    const BYTE data[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                          static_cast<BYTE>(value >> 24)};
    RegSetValueExA(key, ModeValueName, 0, REG_DWORD, data, sizeof data);
    RegCloseKey(key);
    return TRUE;
}

void DeleteSettingsKey(HMODULE module)
{
    char path[MAX_PATH];
    if (GetSettingsKeyPath(module, path))
        RegDeleteKeyA(HKEY_CURRENT_USER, path);
}
