// The argument text split into tokens. Delimiters are space, "=", carriage
// return and line feed; a token whose first character is a double quote or
// an apostrophe runs to the last such quote inside it, or, when it has none,
// on past the delimiter (which becomes one space) to the next quote.
#pragma once

#include <list>
#include <string>
#include <vector>

namespace kg {

class CommandLineTokens {
public:
    // Tokenizing cuts `text` in place; it must outlive the record.
    explicit CommandLineTokens(char* text) : argumentText(text) {}

    void Tokenize();

    // Whether a token equals `switchText` when both are upper-cased.
    bool Contains(const char* switchText) const;

    const std::vector<const char*>& Tokens() const { return tokens; }

private:
    char* argumentText;
    std::vector<const char*> tokens;
    std::list<std::string> joinedTexts;  // tokens joined across a delimiter
};

}  // namespace kg
