// Waiting for what another process or the system does in its own time.
#pragma once

#include <windows.h>

namespace kg::test {

// Polls `done` every 20 ms for up to `ms` ms; whether it came true.
template <typename Done>
bool WaitFor(DWORD ms, Done done) {
    for (DWORD waited = 0; !done(); waited += 20) {
        if (waited >= ms)
            return false;
        ::Sleep(20);
    }
    return true;
}

}  // namespace kg::test
