// Splitting the argument text into tokens, and finding the help switches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace kg {
namespace {

std::vector<std::string> Tokens(const std::string& argumentText) {
    std::vector<char> text(argumentText.begin(), argumentText.end());
    text.push_back('\0');
    CommandLineTokens tokens(text.data());
    tokens.Tokenize();
    return std::vector<std::string>(tokens.Tokens().begin(), tokens.Tokens().end());
}

using List = std::vector<std::string>;

TEST(Tokenize, DelimitersSeparateTokensAndRunsOfThemYieldNothing) {
    EXPECT_EQ(List{}, Tokens(""));
    EXPECT_EQ(List{}, Tokens("="));
    EXPECT_EQ(List{}, Tokens("\n"));
    EXPECT_EQ(List{}, Tokens(" = \r\n "));
    EXPECT_EQ((List{"/i", "/u", "x"}), Tokens("  /i=/u\r\nx  "));
    EXPECT_EQ((List{"/?", "x"}), Tokens("/?=x"));
    EXPECT_EQ((List{"foo", "-?"}), Tokens("foo -?"));
}

TEST(Tokenize, QuoteOpensOnlyAtTheFirstCharacterOfAToken) {
    for (const char quote : {'\'', '"'}) {
        const std::string q(1, quote);
        SCOPED_TRACE(q);
        EXPECT_EQ(List{"/?"}, Tokens(q + "/?" + q));
        EXPECT_EQ((List{"C:\\Program Files\\x", "/s"}), Tokens(q + "C:\\Program Files\\x" + q + " /s"));
        EXPECT_EQ(List{"a b"}, Tokens(q + "a b" + q));
        EXPECT_EQ(List{"a b"}, Tokens(q + "a=b" + q));     // the delimiter becomes one space
        EXPECT_EQ(List{"a b"}, Tokens(q + "a\nb" + q));
        EXPECT_EQ(List{"a  b"}, Tokens(q + "a  b" + q));   // further characters stay as they are
        EXPECT_EQ(List{"ab"}, Tokens(q + "ab" + q + "cd"));
        EXPECT_EQ(List{"a" + q + "b"}, Tokens(q + "a" + q + "b" + q));
        EXPECT_EQ(List{"a b"}, Tokens(q + "a b"));         // unclosed: runs to the end
        EXPECT_EQ(List{"abc"}, Tokens(q + "abc"));         // nothing behind the quote's token
        EXPECT_EQ(List{"x" + q + "y"}, Tokens("x" + q + "y"));
        EXPECT_EQ((List{"a b", "c"}), Tokens(q + "a b" + q + " c"));
    }
}

TEST(Tokenize, JoinedPieceSkipsQuotesAtItsStartAndEndsAtTheNextQuote) {
    EXPECT_EQ((List{"a b", "c"}), Tokens("'a ''b' c"));
    EXPECT_EQ((List{"a b c", "d"}), Tokens("'a b c' d"));
    EXPECT_EQ(List{"a  x"}, Tokens("'a '' x"));        // both quotes skipped, no closing one
    EXPECT_EQ((List{"a \"b"}), Tokens("'a \"b"));  // the other quote is an ordinary character
}

TEST(HelpSwitch, OnlyExactTokensMatch) {
    struct Case {
        const char* argumentText;
        bool help;
    };
    const Case cases[] = {
        {"/?", true}, {"-?", true}, {"foo -?", true}, {"/?=x", true}, {"'/?'", true}, {"\"-?\"", true},
        {"/i", false}, {"/u", false}, {"/h", false}, {"-help", false}, {"x/?", false}, {"/??", false},
        {"=", false}, {"?", false}, {"/", false},
    };
    for (const Case& c : cases) {
        std::string text = c.argumentText;
        CommandLineTokens tokens(&text[0]);
        tokens.Tokenize();
        EXPECT_EQ(c.help, tokens.Contains("/?") || tokens.Contains("-?")) << c.argumentText;
    }
}

}  // namespace
}  // namespace kg
