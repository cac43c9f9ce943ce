#include "app/command_line.h"

#include <cstring>

#include "framework/text.h"

namespace kg {
namespace {

constexpr char DELIMITERS[] = " =\r\n";

bool IsDelimiter(char c) { return c != '\0' && std::strchr(DELIMITERS, c) != nullptr; }
bool IsQuote(char c) { return c == '"' || c == '\''; }

// Ends the text at `p` (a single-byte character) unless it is the end
// already; returns where scanning resumes.
char* Cut(char* p) {
    if (*p == '\0') {
        return p;
    }
    *p = '\0';
    return p + 1;
}

}  // namespace

void CommandLineTokens::Tokenize() {
    char* cursor = argumentText;
    for (;;) {
        while (IsDelimiter(*cursor)) {
            ++cursor;
        }
        if (*cursor == '\0') {
            return;
        }
        char* token = cursor;
        while (*cursor != '\0' && !IsDelimiter(*cursor)) {
            cursor = const_cast<char*>(NextChar(cursor));
        }
        const bool endedByDelimiter = *cursor != '\0';
        cursor = Cut(cursor);

        const char quote = token[0];
        if (!IsQuote(quote)) {
            tokens.push_back(token);
            continue;
        }
        char* closing = nullptr;
        for (char* p = token + 1; *p != '\0'; p = const_cast<char*>(NextChar(p))) {
            if (*p == quote) {
                closing = p;
            }
        }
        if (closing != nullptr) {
            *closing = '\0';
            tokens.push_back(token + 1);
            continue;
        }
        // An open quote: the token goes on behind the delimiter up to the
        // next quote. A token that ended the text has nothing behind it.
        std::string joined = token + 1;
        if (endedByDelimiter) {
            while (*cursor == quote) {
                ++cursor;
            }
            char* piece = cursor;
            while (*cursor != '\0' && *cursor != quote) {
                cursor = const_cast<char*>(NextChar(cursor));
            }
            cursor = Cut(cursor);
            joined += ' ';
            joined += piece;
        }
        joinedTexts.push_back(joined);
        tokens.push_back(joinedTexts.back().c_str());
    }
}

bool CommandLineTokens::Contains(const char* switchText) const {
    for (const char* token : tokens) {
        if (EqualsNoCase(token, switchText)) {
            return true;
        }
    }
    return false;
}

}  // namespace kg
