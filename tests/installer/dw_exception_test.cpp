// The failure record of service-control code: its two shapes, the one-line
// error text with its 1024-byte limit, and what a handler appends.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/system_text.h"
#include "installer/dw_exception.h"
#include "tests/support/api_override.h"

namespace kg {
namespace {

using test::ApiOverride;

constexpr DWORD NO_TEXT_CODE = 0x2000FFFF;

template <typename Throw>
CDWException Caught(Throw throwIt) {
    try {
        throwIt();
    } catch (const CDWException& failure) {
        return failure;
    }
    ADD_FAILURE() << "nothing thrown";
    return CDWException("", 0, FALSE, 0);
}

// What the system's message function hands out, and for which code it was
// last asked.
std::string fakeSystemText;
DWORD askedCode;

// FormatMessageA as FormatSystemMessage uses it: the system allocates the
// text with LocalAlloc and stores its address where the buffer argument
// points.
DWORD WINAPI FakeAllocatingFormatMessage(DWORD flags, LPCVOID, DWORD code, DWORD, LPSTR buffer, DWORD, va_list*) {
    askedCode = code;
    if (!(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const HLOCAL memory = ::LocalAlloc(LMEM_FIXED, fakeSystemText.size() + 1);
    std::memcpy(memory, fakeSystemText.c_str(), fakeSystemText.size() + 1);
    *reinterpret_cast<LPSTR*>(buffer) = static_cast<LPSTR>(memory);
    return static_cast<DWORD>(fakeSystemText.size());
}

TEST(FailureShapes, TextFailureCarriesItsTextAndNoSystemError) {
    const CDWException failure = Caught([] { ThrowTextFailure("[Step1]: bad path"); });
    EXPECT_EQ("[Step1]: bad path", failure.message);
    EXPECT_FALSE(failure.hasSystemError);
    EXPECT_EQ(0u, failure.systemError);
    EXPECT_EQ(0u, failure.reserved);
    EXPECT_EQ("", failure.GetErrorText());
    EXPECT_EQ("[Step1]: bad path", FailureDetail(failure));
}

TEST(FailureShapes, SystemFailureCarriesItsCodeAndNoText) {
    const CDWException failure = Caught([] { ThrowSystemFailure(ERROR_SERVICE_EXISTS); });
    EXPECT_EQ("", failure.message);
    EXPECT_TRUE(failure.hasSystemError);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_EXISTS), failure.systemError);
    EXPECT_EQ(0u, failure.reserved);
    EXPECT_EQ(failure.GetErrorText(), FailureDetail(failure));
}

TEST(ErrorText, IsColonSpaceAndTheSystemTextOnOneLine) {
    const std::string systemText = FormatSystemMessage(ERROR_SERVICE_EXISTS);
    ASSERT_GT(systemText.size(), 2u);
    ASSERT_EQ("\r\n", systemText.substr(systemText.size() - 2));
    const std::string text = CDWException("", ERROR_SERVICE_EXISTS, TRUE, 0).GetErrorText();
    EXPECT_EQ(": " + systemText.substr(0, systemText.size() - 2), text);
    EXPECT_EQ(std::string::npos, text.find_first_of("\r\n"));
}

TEST(ErrorText, FollowsTheMessageAndTakesItsLineBreaksOutToo) {
    const std::string systemText = RemoveLineBreaks(FormatSystemMessage(ERROR_ACCESS_DENIED));
    ASSERT_FALSE(systemText.empty());
    EXPECT_EQ("first linesecond: " + systemText,
              CDWException("first line\r\nsecond", ERROR_ACCESS_DENIED, TRUE, 0).GetErrorText());
}

TEST(ErrorText, LongMessages) {
    ASSERT_FALSE(FormatSystemMessage(ERROR_SERVICE_EXISTS).empty());
    const std::string longest(1023, 'm');
    // Whole, and no room for the system text.
    EXPECT_EQ(longest, CDWException(longest, ERROR_SERVICE_EXISTS, TRUE, 0).GetErrorText());
    EXPECT_EQ("Error message too long. It failed !",
              CDWException(longest + "m", ERROR_SERVICE_EXISTS, TRUE, 0).GetErrorText());
    EXPECT_EQ("Error message too long. It failed !",
              CDWException(std::string(5000, 'm'), ERROR_SERVICE_EXISTS, TRUE, 0).GetErrorText());
}

TEST(ErrorText, SystemTextIsAppendedOnlyWhenTheWholeFits) {
    const ApiOverride format(sys.FormatMessageA, &FakeAllocatingFormatMessage);
    const std::string message(1000, 'm');
    struct Case {
        std::string systemText;
        std::string expected;
    };
    const Case cases[] = {
        // 1000 + ": " + 20 + terminator = 1023 bytes: fits.
        {std::string(18, 's') + "\r\n", message + ": " + std::string(18, 's')},
        {std::string(20, 's'), message + ": " + std::string(20, 's')},
        // 1000 + 21 + 3 = 1024: left out, line end counted.
        {std::string(19, 's') + "\r\n", message},
        {std::string(21, 's'), message},
    };
    for (const Case& c : cases) {
        fakeSystemText = c.systemText;
        askedCode = 0;
        EXPECT_EQ(c.expected, CDWException(message, 1234, TRUE, 0).GetErrorText()) << c.systemText.size();
        EXPECT_EQ(1234u, askedCode);
    }
}

TEST(ErrorText, NoSystemErrorOrNoSystemText) {
    ASSERT_EQ("", FormatSystemMessage(NO_TEXT_CODE));
    EXPECT_EQ("", CDWException("text", ERROR_ACCESS_DENIED, FALSE, 0).GetErrorText());
    EXPECT_EQ("", CDWException("", ERROR_ACCESS_DENIED, FALSE, 0).GetErrorText());
    // An unknown code is no failure of its own: the separator and nothing.
    EXPECT_EQ(": ", CDWException("", NO_TEXT_CODE, TRUE, 0).GetErrorText());
    EXPECT_EQ("text: ", CDWException("text", NO_TEXT_CODE, TRUE, 0).GetErrorText());
}

TEST(FailureDetailText, TextElseSystemTextElseNoMessage) {
    const std::string denied = RemoveLineBreaks(FormatSystemMessage(ERROR_ACCESS_DENIED));
    ASSERT_FALSE(denied.empty());
    struct Case {
        CDWException failure;
        std::string detail;
    };
    const Case cases[] = {
        {CDWException("own text", 0, FALSE, 0), "own text"},
        {CDWException("own text", ERROR_ACCESS_DENIED, TRUE, 0), "own text"},
        {CDWException("", ERROR_ACCESS_DENIED, TRUE, 0), ": " + denied},
        {CDWException("", 0, FALSE, 0), "No message ..."},
        {CDWException("", ERROR_ACCESS_DENIED, FALSE, 0), "No message ..."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.detail, FailureDetail(c.failure))
            << "message \"" << c.failure.message << "\", hasSystemError " << c.failure.hasSystemError;
    }
}

}  // namespace
}  // namespace kg
