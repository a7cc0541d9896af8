// A plug-in DLL of this host interface, loaded by path, with its seven
// exports looked up by ordinal and checked against their names.
#ifndef TOOLS_HOST_SIDE_PLUGIN_MODULE_H
#define TOOLS_HOST_SIDE_PLUGIN_MODULE_H

#include "plugin_exports.h"

#include <windows.h>

#include <string>

// The exports of a loaded plug-in, as functions of their declared types.
struct PlugInExports {
#define PLUGIN_EXPORT_POINTER(ordinal, name, result, parameters) result(WINAPI* name) parameters;
    PLUGIN_EXPORTS(PLUGIN_EXPORT_POINTER)
#undef PLUGIN_EXPORT_POINTER
};

// The names of ordinals 1 to 7.
extern const char* const PlugInExportNames[PlugInExportCount];

// Looks up the seven exports of a loaded module by ordinal and checks that
// each name leads to the same function. False with `error` set when one is
// missing or misplaced.
bool FindPlugInExports(HMODULE module, PlugInExports& exports, std::string& error);

class PlugInModule {
public:
    PlugInModule() = default;
    ~PlugInModule();
    PlugInModule(const PlugInModule&) = delete;
    PlugInModule& operator=(const PlugInModule&) = delete;

    // Loads the DLL and finds its exports; false with `error` set when the
    // file is missing, is no DLL of this process's architecture, or lacks
    // an export.
    bool Load(const std::string& path, std::string& error);

    HMODULE module() const { return module_; }
    const PlugInExports& exports() const { return exports_; }
    const std::string& path() const { return path_; }

private:
    HMODULE module_ = nullptr;
    PlugInExports exports_ = {};
    std::string path_;
};

#endif
