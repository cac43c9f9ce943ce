// Opening the service control manager and the driver service, throwing
// CDWException on failure.
#pragma once

#include "framework/handle.h"

namespace kg {

// The local machine's active service database with full access.
ServiceHandle OpenServiceManager();

// The driver service by its name, with `access`.
ServiceHandle OpenDriverService(const ServiceHandle& manager, DWORD access);

}  // namespace kg
