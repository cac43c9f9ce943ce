#include "framework/text.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <cctype>
#endif

namespace kg {

bool IsLeadByte(char c) {
#ifdef _WIN32
    return ::IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE;
#else
    (void)c;
    return false;
#endif
}

const char* NextChar(const char* p) {
    if (*p == '\0') {
        return p;
    }
    // A lead byte followed by the terminator is a broken character: step
    // over the lead byte alone so that a scan never runs past the end.
    if (IsLeadByte(*p) && p[1] != '\0') {
        return p + 2;
    }
    return p + 1;
}

std::size_t FitLength(const char* text, std::size_t maxBytes) {
    const char* p = text;
    for (;;) {
        const char* next = NextChar(p);
        if (next == p || static_cast<std::size_t>(next - text) > maxBytes) {
            return static_cast<std::size_t>(p - text);
        }
        p = next;
    }
}

std::size_t CopyBounded(char* dest, std::size_t destSize, const char* src) {
    const std::size_t length = FitLength(src, destSize - 1);
    std::memcpy(dest, src, length);
    dest[length] = '\0';
    return length;
}

std::size_t AppendBounded(char* dest, std::size_t destSize, const char* src) {
    const std::size_t used = std::strlen(dest);
    return used + CopyBounded(dest + used, destSize - used, src);
}

std::string UpperCase(std::string text) {
#ifdef _WIN32
    if (!text.empty()) {
        ::CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    }
#else
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
#endif
    return text;
}

std::size_t FindLastChar(const std::string& text, char c) {
    std::size_t found = std::string::npos;
    for (const char* p = text.c_str(); *p != '\0'; p = NextChar(p)) {
        if (*p == c) {
            found = static_cast<std::size_t>(p - text.c_str());
        }
    }
    return found;
}

bool EqualsNoCase(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

bool EndsWithChar(const std::string& text, char c) {
    const char* last = nullptr;
    for (const char* p = text.c_str(); *p != '\0'; p = NextChar(p)) {
        last = p;
    }
    return last != nullptr && *last == c;
}

std::string FormatBounded(const char* format, std::initializer_list<std::string> args, std::size_t bufferSize) {
    std::string text;
    auto arg = args.begin();
    for (const char* p = format; *p != '\0'; p = NextChar(p)) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'd') && arg != args.end()) {
            text += *arg++;
            ++p;
        } else {
            text.append(p, NextChar(p));
        }
    }
    text.resize(FitLength(text.c_str(), bufferSize - 1));
    return text;
}

}  // namespace kg
