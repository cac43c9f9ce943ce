// The argument text as start-up reads it: the tokens, and which forms ask for
// the usage text (every other argument text installs).
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/command_line.h"

namespace kg {
namespace {

// The tokens of `argumentText`, each in brackets.
std::string Tokens(std::string argumentText) {
    CommandLineTokens tokens(&argumentText[0]);
    tokens.Tokenize();
    std::string shown;
    for (const char* token : tokens.Tokens())
        shown += std::string("[") + token + "]";
    return shown + (tokens.Contains("/?") ? " usage" : "");
}

TEST(CommandLine, TokensAndTheUsageSwitch) {
    const std::tuple<const char*, const char*> rows[] = {
        {"  /i=/u\r\nx  ", "[/i][/u][x]"},
        {"/?=x", "[/?][x] usage"},
        {"x/?", "[x/?]"},
        {"/??", "[/??]"},
        {"\"C:\\Program Files\\x\" /s", "[C:\\Program Files\\x][/s]"},
        {"'a=b'", "[a b]"},
        {"'a  b'", "[a  b]"},
        {"'ab'cd", "[ab]"},
        {"'' x", "[][x]"},
        {"'a'b'", "[a'b]"},
        {"'a b", "[a b]"},
        {"'abc", "[abc]"},
        {"x'y", "[x'y]"},
        {"'a ''b' c", "[a b][c]"},
        {"'a \"b", "[a \"b]"},
    };
    for (const auto& [argumentText, read] : rows)
        EXPECT_EQ(read, Tokens(argumentText)) << "argument text <" << argumentText << ">";
}

}  // namespace
}  // namespace kg
