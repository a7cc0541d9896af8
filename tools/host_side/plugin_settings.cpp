#include "plugin_settings.h"

#include "settings_key.h"
#include "settings_store.h"

#include <vector>

std::string PlugInSettingsKey(const std::string& stem)
{
    return SettingsKeyPrefix + stem;
}

// Cut as the plug-in cuts its own file name, in the system's code page.
std::string PlugInStem(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of("\\/");
    std::vector<char> name(path.begin() + static_cast<std::ptrdiff_t>(slash == std::string::npos ? 0 : slash + 1),
                           path.end());
    name.push_back(0);
    CutAtFirstDot(name.data());
    return name.data();
}

bool StorePlugInMode(const std::string& stem, DWORD mode)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, PlugInSettingsKey(stem).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const BYTE data[4] = {static_cast<BYTE>(mode), static_cast<BYTE>(mode >> 8), static_cast<BYTE>(mode >> 16),
                          static_cast<BYTE>(mode >> 24)};
    const bool written = RegSetValueExA(key, ModeValueName, 0, REG_DWORD, data, sizeof data) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}
