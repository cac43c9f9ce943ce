// The test program's one application object. Message boxes take their
// caption from it and strings load from its module, as in the installer.
#pragma once

#include "framework/winapp.h"

namespace kg::test {

// The application object, created and run (no arguments) on first use; the
// same object on every call. Its caption is the program's name,
// "installer_tests". It has no main window.
CWinApp& TestApp();

}  // namespace kg::test
