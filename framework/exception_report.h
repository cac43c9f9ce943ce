// Exceptions never leave a window procedure or any other function that the
// system calls: such a function catches everything and calls this from its
// catch block. The user is told in a message box owned by the main window.
#pragma once

namespace kg {

// Shows the text for the exception being handled: the resource exception's,
// "Out of memory." for std::bad_alloc, the file exception's own description,
// a generic text for anything else. Must be called inside a catch block.
// While one such box is open, further exceptions are not shown again (a
// window that fails to paint would otherwise stack boxes without end).
void ReportCurrentException() noexcept;

}  // namespace kg
