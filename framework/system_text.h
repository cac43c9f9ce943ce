// The system's own description of a system error code.
#pragma once

#include <string>

namespace kg {

// The system's text for `code` (user's default language), as the system gives
// it, line end included; empty when the system has no text for the code.
std::string FormatSystemMessage(unsigned long code);

// `text` without its carriage returns and line feeds.
std::string RemoveLineBreaks(const std::string& text);

}  // namespace kg
