#include "installer/service_manager.h"

#include "installer/constants.h"
#include "installer/dw_exception.h"

namespace kg {
namespace {

constexpr char MANAGER_ACCESS_DENIED[] = "Cannot access the service control manager";
constexpr char MANAGER_OPEN_FAILED[] = "Cannot open the service control manager";

}  // namespace

ServiceHandle OpenServiceManager() {
    ServiceHandle manager(sys.OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        ThrowTextFailure(::GetLastError() == ERROR_ACCESS_DENIED ? MANAGER_ACCESS_DENIED : MANAGER_OPEN_FAILED);
    }
    return manager;
}

ServiceHandle OpenDriverService(const ServiceHandle& manager, DWORD access) {
    ServiceHandle service(sys.OpenServiceA(manager.Get(), PRODUCT_NAME.c_str(), access));
    if (!service) {
        ThrowSystemFailure(::GetLastError());
    }
    return service;
}

}  // namespace kg
