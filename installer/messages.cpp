// The four ways the engine tells the user something: a message box in the
// dialog run, standard output (unchanged, no line break added) otherwise.
#include <cstdio>
#include <cstring>

#include "framework/system_api.h"
#include "framework/text.h"
#include "framework/winapp.h"
#include "installer/driver_installer.h"

namespace kg {

std::string DriverInstaller::FormatString(UINT id, const std::string& argument) {
    return FormatBounded(LoadResourceString(id).c_str(), {argument}, MESSAGE_BUFFER_SIZE);
}

void DriverInstaller::Tell(const char* text) {
    if (commandLineMode) {
        std::fputs(text, stdout);
    } else {
        AfxMessageBox(text, MB_OK);
    }
}

void DriverInstaller::ShowMessage(UINT id, bool information) {
    if (!commandLineMode) {
        AfxMessageBox(id, MB_OK | (information ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
        return;
    }
    Tell(LoadResourceString(id).c_str());
}

void DriverInstaller::ShowMessageWithText(UINT id, const std::string& text) {
    char buffer[MESSAGE_BUFFER_SIZE];
    CopyBounded(buffer, sizeof buffer, LoadResourceString(id).c_str());
    AppendBounded(buffer, sizeof buffer, text.c_str());
    Tell(buffer);
}

void DriverInstaller::ShowSystemError(UINT id, DWORD code) { TellSystemError(LoadResourceString(id).c_str(), code); }

void DriverInstaller::ShowTextSystemError(const std::string& text, DWORD code) { TellSystemError(text.c_str(), code); }

void DriverInstaller::TellSystemError(const char* prefix, DWORD code) {
    char buffer[MESSAGE_BUFFER_SIZE];
    CopyBounded(buffer, sizeof buffer, prefix);
    const std::size_t length = AppendBounded(buffer, sizeof buffer, ":\n");
    char* const systemText = buffer + length;
    // Inserts are left as they are; a text that does not fit is left out.
    const DWORD systemLength = sys.FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                                  code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), systemText,
                                                  static_cast<DWORD>(sizeof buffer - length), nullptr);
    if (systemLength == 0 || systemLength >= sizeof buffer - length) {
        *systemText = '\0';
    }
    // A box shows the system's text without its own line end.
    const std::size_t shown = std::strlen(systemText);
    if (!commandLineMode && shown > 2 && systemText[shown - 2] == '\r' && systemText[shown - 1] == '\n') {
        systemText[shown - 2] = '\0';
    }
    Tell(buffer);
}

}  // namespace kg
