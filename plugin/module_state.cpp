#include "module_state.h"

// Constant-initialised: the module runs no static initialiser of its own.
HINSTANCE ModuleInstance = nullptr;
std::int32_t DecodeMode = 0;
DWORD ItemId = 0;
