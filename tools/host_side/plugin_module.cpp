#include "plugin_module.h"

namespace {

// An export's address as the function type it has; the detour through a
// function without arguments tells the compiler that the cast is meant.
template <typename Function>
Function ExportAs(FARPROC address)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

const char* const PlugInExportNames[7] = {"OnCommand",          "QueryStatus", "OnEvents",   "GetMenuTextID",
                                          "GetStatusMessageID", "GetBitmapID", "PlugInProc"};

std::string SystemMessage(DWORD error)
{
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                   nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

bool FindPlugInExports(HMODULE module, PlugInExports& exports, std::string& error)
{
    FARPROC found[7];
    for (int ordinal = 1; ordinal <= 7; ++ordinal) {
        const char* name = PlugInExportNames[ordinal - 1];
        found[ordinal - 1] = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
        const FARPROC named = GetProcAddress(module, name);
        if (found[ordinal - 1] == nullptr || named == nullptr) {
            error = std::string("not a plug-in: it has no export ") + name + " at ordinal " + std::to_string(ordinal);
            return false;
        }
        if (named != found[ordinal - 1]) {
            error = std::string("not a plug-in: the export ") + name + " is not at ordinal " + std::to_string(ordinal);
            return false;
        }
    }
    exports.OnCommand = ExportAs<decltype(exports.OnCommand)>(found[0]);
    exports.QueryStatus = ExportAs<decltype(exports.QueryStatus)>(found[1]);
    exports.OnEvents = ExportAs<decltype(exports.OnEvents)>(found[2]);
    exports.GetMenuTextID = ExportAs<decltype(exports.GetMenuTextID)>(found[3]);
    exports.GetStatusMessageID = ExportAs<decltype(exports.GetStatusMessageID)>(found[4]);
    exports.GetBitmapID = ExportAs<decltype(exports.GetBitmapID)>(found[5]);
    exports.PlugInProc = ExportAs<decltype(exports.PlugInProc)>(found[6]);
    return true;
}

PlugInModule::~PlugInModule()
{
    if (module_ != nullptr)
        FreeLibrary(module_);
}

bool PlugInModule::Load(const std::string& path, std::string& error)
{
    char fullPath[MAX_PATH];
    if (GetFullPathNameA(path.c_str(), MAX_PATH, fullPath, nullptr) == 0) {
        error = "cannot resolve the path";
        return false;
    }
    path_ = fullPath;
    if (GetFileAttributesA(fullPath) == INVALID_FILE_ATTRIBUTES) {
        error = "no such file";
        return false;
    }
    module_ = LoadLibraryExA(fullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module_ == nullptr) {
        error = std::string("not a plug-in: it cannot be loaded as a ") + (sizeof(void*) == 8 ? "64" : "32") +
                "-bit DLL (" + SystemMessage(GetLastError()) + ")";
        return false;
    }
    return FindPlugInExports(module_, exports_, error);
}

