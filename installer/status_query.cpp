// Whether the driver service is running: the answer decides what the dialog
// offers. Asked once, at construction.
#include <memory>

#include "framework/text.h"
#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "installer/dw_exception.h"
#include "installer/resource.h"
#include "installer/service_manager.h"

namespace kg {
namespace {

// One enumeration into one block of this size; no second call.
constexpr DWORD ENUMERATION_BUFFER_SIZE = 0x24000;

}  // namespace

bool DriverInstaller::QueryDriverStatus() {
    try {
        const ServiceHandle manager = OpenServiceManager();
        const std::unique_ptr<ENUM_SERVICE_STATUSA[]> services(
            new ENUM_SERVICE_STATUSA[ENUMERATION_BUFFER_SIZE / sizeof(ENUM_SERVICE_STATUSA)]);
        DWORD needed = 0;
        DWORD returned = 0;
        DWORD resume = 0;
        // A failure, a buffer too small for all active drivers included,
        // means not found.
        if (!sys.EnumServicesStatusA(manager.Get(), SERVICE_DRIVER, SERVICE_ACTIVE, services.get(),
                                     ENUMERATION_BUFFER_SIZE, &needed, &returned, &resume)) {
            return false;
        }
        for (DWORD i = 0; i < returned; ++i) {
            if (EqualsNoCase(services[i].lpServiceName, PRODUCT_NAME)) {
                return true;
            }
        }
        return false;
    } catch (const CDWException& failure) {
        ReportServiceFailure(IDS_QUERY_FAILED, failure);
        return false;
    }
}

}  // namespace kg
