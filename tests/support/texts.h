// The product's texts that several tests expect, as the user reads them.
#pragma once

#include <windows.h>

#include <string>

#include "framework/system_text.h"

namespace kg::test {

const std::string INSTALLED = "Kestrelgard has been successfully installed.";
const std::string UPGRADED =
    "The new version of Kestrelgard has been successfully copied to your system.\nPlease reboot for the upgrade to "
    "take effect.";
const std::string REMOVED =
    "Kestrelgard has been successfully removed from your system.\nPlease reboot to complete uninstallation.";
const std::string INSTALL_FAILED = "An error occurred while installing the driver";
const std::string REMOVE_FAILED = "An error occurred while removing the driver";
const std::string EXTRACT_FAILED = "Error while extracting files";
const std::string DRIVER_UNFIT = "The driver in this installer is damaged or not made for this version of Windows.";
const std::string NEEDS_64_BIT =
    "This installer is for 32-bit Windows. Please use the 64-bit installer of Kestrelgard on this computer.";
const std::string USAGE =
    "Kestrelgard Installation Tool\nCopyright (C) 2026 The Kestrelgard Developers. All rights reserved.\nUsage: "
    "Kgsetup /i   Installs Kestrelgard\n\n";

// The system's text for `code`, as a box shows it: without its line end.
inline std::string Shown(DWORD code) {
    const std::string text = FormatSystemMessage(code);
    return text.substr(0, text.find_last_not_of("\r\n") + 1);
}

// A failed copy of the file `name`, on standard output; in a box with `box`.
inline std::string CopyFailed(const std::string& name, DWORD code, bool box = false) {
    return "An error occurred while copying the file " + name + ":\n" + (box ? Shown(code) : FormatSystemMessage(code));
}

}  // namespace kg::test
