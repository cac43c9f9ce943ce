#include "framework/system_text.h"

#include <algorithm>

#ifdef _WIN32
#include "framework/handle.h"
#else
#include <cstring>
#endif

namespace kg {

#ifdef _WIN32
std::string FormatSystemMessage(unsigned long code) {
    char* text = nullptr;
    const DWORD length = sys.FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    const LocalMemory owner(text);
    return length == 0 || text == nullptr ? std::string() : std::string(text, length);
}
#else
std::string FormatSystemMessage(unsigned long code) {
    return std::string(std::strerror(static_cast<int>(code))) + "\n";
}
#endif

std::string RemoveLineBreaks(const std::string& text) {
    std::string result = text;
    result.erase(std::remove_if(result.begin(), result.end(), [](char c) { return c == '\r' || c == '\n'; }),
                 result.end());
    return result;
}

}  // namespace kg
