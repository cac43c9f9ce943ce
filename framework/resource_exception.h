// The failure to get a system resource that the program cannot do without (a
// brush, a device context, a window): thrown by the framework's wrappers and
// reported, like every exception, where the window procedure catches it.
#pragma once

#include <exception>

namespace kg {

class CResourceException : public std::exception {
public:
    // The user's text: "A required resource was unavailable."
    const char* what() const noexcept override;
};

[[noreturn]] void AfxThrowResourceException();

}  // namespace kg
