#include "payload/format.h"

#include <cstring>

#include "framework/text.h"

namespace kg {
namespace {

// Whether Windows takes `number` behind COM or LPT for a device's number:
// one digit, or a superscript one to three as the ANSI code page (0xB9, 0xB2,
// 0xB3) or UTF-8 (C2 B9, C2 B2, C2 B3) writes it.
bool IsDeviceNumber(const std::string& number) {
    const std::size_t digit = number.size() == 2 && number[0] == '\xC2' ? 1 : 0;
    return number.size() == digit + 1 && number[digit] != '\0' &&
           std::strchr("0123456789\xB9\xB2\xB3", number[digit]) != nullptr;
}

}  // namespace

bool IsDeviceName(const std::string& name) {
    std::string base = UpperCase(name.substr(0, name.find('.')));
    base.erase(base.find_last_not_of(' ') + 1);
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : devices) {
        if (base == device) {
            return true;
        }
    }
    return base.size() > 3 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           IsDeviceNumber(base.substr(3));
}

bool IsPlainFileName(const std::string& name) {
    // The system drops trailing dots and spaces, so such a name (".." and
    // "." among them) would name another file or the folder itself.
    if (name.empty() || EndsWithChar(name, '.') || EndsWithChar(name, ' ')) {
        return false;
    }
    for (const char* p = name.c_str(); *p != '\0'; p = NextChar(p)) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) {
            return false;
        }
    }
    return !IsDeviceName(name);
}

}  // namespace kg
