#include "framework/resource_exception.h"

namespace kg {

const char* CResourceException::what() const noexcept { return "A required resource was unavailable."; }

void AfxThrowResourceException() { throw CResourceException(); }

}  // namespace kg
