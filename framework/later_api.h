// Functions that only later versions of Windows have, looked up when they are
// needed: a static import of a function that the system lacks would stop the
// program from starting at all on NT 4 or Windows 2000.
#pragma once

#include <windows.h>

namespace kg {

// `name` from the module `module`, which the program has loaded already (it
// imports from it); null when this system does not have it.
template <typename Function>
Function LaterSystemFunction(const char* module, const char* name) {
    const HMODULE loaded = ::GetModuleHandleA(module);
    return loaded != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(loaded, name)))
                             : nullptr;
}

}  // namespace kg
