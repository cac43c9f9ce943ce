// The parameters with which the driver service is created, and the check of
// the driver's path that runs before creation.
#pragma once

#include <windows.h>

#include <string>

namespace kg {

struct ServiceSpec {
    // The installer's one driver service, loading `image`.
    explicit ServiceSpec(const std::string& image);

    // Returns when imagePath is a fully qualified path on a fixed disk to a
    // file that can be opened for reading; throws a text failure otherwise.
    void ValidateImagePath() const;

    // The service type to create: serviceType, with the interactive bit
    // when interactive is set.
    DWORD CreationType() const;

    const std::string& serviceName;
    const std::string& displayName;
    DWORD desiredAccess;
    BOOL interactive;
    DWORD serviceType;
    DWORD startType;
    DWORD errorControl;
    const std::string& imagePath;
    const char* dependencies;
    const char* serviceStartName;
    const char* password;
};

}  // namespace kg
