// A plug-in DLL of this host interface, loaded by path, with its seven
// exports looked up by ordinal and checked against their names.
#ifndef TOOLS_HOST_SIDE_PLUGIN_MODULE_H
#define TOOLS_HOST_SIDE_PLUGIN_MODULE_H

#include <windows.h>

#include <string>

struct PlugInExports {
    void(WINAPI* OnCommand)(HWND);
    BOOL(WINAPI* QueryStatus)(HWND, LPDWORD);
    void(WINAPI* OnEvents)(HWND, DWORD, DWORD);
    UINT(WINAPI* GetMenuTextID)(void);
    UINT(WINAPI* GetStatusMessageID)(void);
    UINT(WINAPI* GetBitmapID)(void);
    LRESULT(WINAPI* PlugInProc)(HWND, UINT, WPARAM, LPARAM);
};

// The names of ordinals 1 to 7.
extern const char* const PlugInExportNames[7];

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

// The text that Windows gives for an error code, in one line.
std::string SystemMessage(DWORD error);

#endif
