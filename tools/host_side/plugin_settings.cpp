#include "plugin_settings.h"

namespace {

const char SettingsRoot[] = "Software\\Tarvik\\LexivanePlugIns\\";

}  // namespace

std::string PlugInSettingsKey(const std::string& stem)
{
    return SettingsRoot + stem;
}

std::string PlugInStem(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.substr(0, name.find('.'));
}

bool StorePlugInMode(const std::string& stem, DWORD mode)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, PlugInSettingsKey(stem).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const BYTE data[4] = {static_cast<BYTE>(mode), static_cast<BYTE>(mode >> 8), static_cast<BYTE>(mode >> 16),
                          static_cast<BYTE>(mode >> 24)};
    const bool written = RegSetValueExA(key, "Mode", 0, REG_DWORD, data, sizeof data) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}
