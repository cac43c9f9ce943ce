// The failure record that service-control code throws by value.
#pragma once

#include <windows.h>

#include <string>

namespace kg {

class CDWException {
public:
    CDWException(std::string text, DWORD error, BOOL hasError, DWORD zero);

    // A system failure on one line: ": " and the system's text for
    // systemError, behind message when that is not empty; empty when there
    // is no system error. Never longer than 1023 characters.
    std::string GetErrorText() const;

    std::string message;  // the failure's own text; empty for a system failure
    DWORD reserved;       // always 0
    BOOL hasSystemError;
    DWORD systemError;  // the thread's last error right after the failed call
};

// Throws a failure told by its own text.
[[noreturn]] void ThrowTextFailure(const std::string& message);
// Throws a failure told by a system error code.
[[noreturn]] void ThrowSystemFailure(DWORD systemError);

// What a handler appends to its operation's message: the text, else the
// system failure's text, else "No message ...".
std::string FailureDetail(const CDWException& failure);

}  // namespace kg
