#include "payload/format.h"

#include <cstring>

#include "framework/text.h"

namespace kg {
namespace {

// Windows opens a device for these names, whatever folder and extension
// come with them.
bool IsDeviceName(const std::string& name) {
    std::string base = UpperCase(name.substr(0, name.find('.')));
    base.erase(base.find_last_not_of(' ') + 1);
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : devices) {
        if (base == device) {
            return true;
        }
    }
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

}  // namespace

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
