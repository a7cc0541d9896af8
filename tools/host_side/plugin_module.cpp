#include "plugin_module.h"

#include "file_io.h"

namespace {

// An export's address as the function type it has; the detour through a
// function without arguments tells the compiler that the cast is meant.
template <typename Function>
Function ExportAs(FARPROC address)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// Finds the export at `ordinal` and checks that its name leads there too.
template <typename Function>
bool FindExport(HMODULE module, int ordinal, const char* name, Function& function, std::string& error)
{
    const FARPROC atOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    const FARPROC named = GetProcAddress(module, name);
    if (atOrdinal == nullptr || named == nullptr) {
        error = std::string("not a plug-in: it has no export ") + name + " at ordinal " + std::to_string(ordinal);
        return false;
    }
    if (named != atOrdinal) {
        error = std::string("not a plug-in: the export ") + name + " is not at ordinal " + std::to_string(ordinal);
        return false;
    }
    function = ExportAs<Function>(atOrdinal);
    return true;
}

}  // namespace

#define PLUGIN_EXPORT_NAME(ordinal, name, result, parameters) #name,
const char* const PlugInExportNames[PlugInExportCount] = {PLUGIN_EXPORTS(PLUGIN_EXPORT_NAME)};
#undef PLUGIN_EXPORT_NAME

bool FindPlugInExports(HMODULE module, PlugInExports& exports, std::string& error)
{
#define PLUGIN_EXPORT_FIND(ordinal, name, result, parameters)                                                          \
    if (!FindExport(module, ordinal, #name, exports.name, error))                                                      \
        return false;
    PLUGIN_EXPORTS(PLUGIN_EXPORT_FIND)
#undef PLUGIN_EXPORT_FIND
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
                "-bit DLL (" + WindowsErrorText(GetLastError()) + ")";
        return false;
    }
    return FindPlugInExports(module_, exports_, error);
}
