#include "installer/constants.h"

namespace kg {

const std::string TEMP_FOLDER_NAME = "kginst\\";
const std::string PRODUCT_NAME = "Kestrelgard";
const std::string DRIVER_FILE_NAME = "kestgard.sys";
const std::string MESSAGE_FILE_NAME = "kestgard.dll";
const std::string EVENTLOG_KEY = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\Kestrelgard";
const std::string TYPES_SUPPORTED_VALUE = "TypesSupported";
const std::string EVENT_MESSAGE_FILE_VALUE = "EventMessageFile";

}  // namespace kg
