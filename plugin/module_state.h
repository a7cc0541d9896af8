// The values that outlive a call. The host calls one export at a time on one
// thread, so they are read and written without locks.
#ifndef PLUGIN_MODULE_STATE_H
#define PLUGIN_MODULE_STATE_H

#include <windows.h>

#include <cstdint>

extern HINSTANCE ModuleInstance;  // set once when the process attaches the module
extern std::int32_t DecodeMode;   // 0: "&#26085;", 1: "\u65e5"; other stored values are kept as they are
extern DWORD ItemId;              // the identifier of the last EventSetItemId, 0 at load

#endif
