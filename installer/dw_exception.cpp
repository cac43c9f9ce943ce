#include "installer/dw_exception.h"

#include <utility>

#include "framework/system_text.h"

namespace kg {
namespace {

constexpr std::size_t ERROR_TEXT_BUFFER_SIZE = 1024;
constexpr char MESSAGE_TOO_LONG[] = "Error message too long. It failed !";
constexpr char NO_MESSAGE[] = "No message ...";
constexpr char SEPARATOR[] = ": ";

}  // namespace

CDWException::CDWException(std::string text, DWORD error, BOOL hasError, DWORD zero)
    : message(std::move(text)), reserved(zero), hasSystemError(hasError), systemError(error) {}

std::string CDWException::GetErrorText() const {
    if (!hasSystemError) {
        return std::string();
    }
    const std::string systemText = FormatSystemMessage(systemError);
    std::string text;
    if (message.size() >= ERROR_TEXT_BUFFER_SIZE) {
        text = MESSAGE_TOO_LONG;
    } else {
        text = message;
        if (message.size() + systemText.size() + 3 < ERROR_TEXT_BUFFER_SIZE) {
            text += SEPARATOR + systemText;
        }
    }
    return RemoveLineBreaks(text);
}

void ThrowTextFailure(const std::string& message) { throw CDWException(message, 0, FALSE, 0); }

void ThrowSystemFailure(DWORD systemError) { throw CDWException(std::string(), systemError, TRUE, 0); }

std::string FailureDetail(const CDWException& failure) {
    if (!failure.message.empty()) {
        return failure.message;
    }
    return failure.hasSystemError ? failure.GetErrorText() : NO_MESSAGE;
}

}  // namespace kg
