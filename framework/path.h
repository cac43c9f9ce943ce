// The separator between a folder and a name on the platform the code runs on.
#pragma once

namespace kg {

#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
#endif

}  // namespace kg
