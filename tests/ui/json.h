// Replies of the pilot and its hook: one JSON object a line.
#pragma once

#include <cstdio>
#include <string>

namespace kg::pilot {

inline std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

inline const char* Bool(bool value) { return value ? "true" : "false"; }

}  // namespace kg::pilot
