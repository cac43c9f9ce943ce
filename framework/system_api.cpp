#include "framework/system_api.h"

namespace kg {

SystemApi sys;

}  // namespace kg
