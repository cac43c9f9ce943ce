// The event-log source registration that lets the event viewer find the
// driver's message texts.
#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "installer/registry.h"

namespace kg {
namespace {

constexpr DWORD TYPES_SUPPORTED = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

}  // namespace

bool DriverInstaller::RegisterEventLogSource() {
    LONG result = SetRegistryDword(HKEY_LOCAL_MACHINE, EVENTLOG_KEY + "\\" + TYPES_SUPPORTED_VALUE, TYPES_SUPPORTED);
    if (result == ERROR_SUCCESS) {
        result = SetRegistryString(HKEY_LOCAL_MACHINE, EVENTLOG_KEY + "\\" + EVENT_MESSAGE_FILE_VALUE,
                                   messageFileDestinationPath);
    }
    if (result != ERROR_SUCCESS) {
        // The caller reports the thread's last error: make it the registry's.
        ::SetLastError(static_cast<DWORD>(result));
        return false;
    }
    return true;
}

LONG DriverInstaller::UnregisterEventLogSource() { return DeleteRegistryKey(HKEY_LOCAL_MACHINE, EVENTLOG_KEY); }

}  // namespace kg
