// The product's names: every name, path part and registry name the installer
// uses. None is configurable.
#pragma once

#include <string>

namespace kg {

extern const std::string TEMP_FOLDER_NAME;  // "kginst\" under the temporary directory
extern const std::string PRODUCT_NAME;      // the driver service's name
extern const std::string DRIVER_FILE_NAME;
extern const std::string MESSAGE_FILE_NAME;
extern const std::string EVENTLOG_KEY;  // under HKEY_LOCAL_MACHINE
extern const std::string TYPES_SUPPORTED_VALUE;
extern const std::string EVENT_MESSAGE_FILE_VALUE;

// The drivers folder, appended to the system directory.
constexpr char DRIVERS_FOLDER[] = "\\drivers\\";

}  // namespace kg
