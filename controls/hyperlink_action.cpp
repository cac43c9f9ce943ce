#include "controls/hyperlink_action.h"

#include "framework/system_api.h"
#include "framework/text.h"
#include "framework/winapp.h"

namespace kg {
namespace {

// The names of the action types, indexed by type. Built when the program
// starts, before any dialog exists.
const std::string actionNames[] = {"None", "User defined", "Open", "Print", "Explore", "E-mail"};
constexpr int ACTION_TYPE_COUNT = sizeof actionNames / sizeof actionNames[0];

const char* const MAILTO_PREFIX = "mailto:";
const char* const NOTIFY_FAILED_TEXT = "%s action failed!";
const char* const BAD_TYPE_TEXT = "Failed to execute unknown action!";
const char* const UNKNOWN_ERROR_TEXT = "Unknown error!";

struct ShellErrorText {
    int code;
    const char* text;
};
const ShellErrorText shellErrorTexts[] = {
    {0, "The operating system is out\nof memory or resources."},
    {ERROR_FILE_NOT_FOUND, "The specified file was not found."},
    {ERROR_PATH_NOT_FOUND, "The specified path was not found."},
    {SE_ERR_ACCESSDENIED, "The operating system denied\naccess to the specified file."},
    {SE_ERR_OOM, "There was not enough memory to complete the operation."},
    {ERROR_BAD_FORMAT, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    {SE_ERR_SHARE, "A sharing violation occurred."},
    {SE_ERR_ASSOCINCOMPLETE, "The filename association is\nincomplete or invalid."},
    {SE_ERR_DDETIMEOUT, "The DDE transaction could not\nbe completed because the request timed out."},
    {SE_ERR_DDEFAIL, "The DDE transaction failed."},
    {SE_ERR_DDEBUSY,
     "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
    {SE_ERR_NOASSOC, "There is no application associated\nwith the given filename extension."},
    {SE_ERR_DLLNOTFOUND, "The specified dynamic-link library was not found."},
};

// Shell results above this value are instance handles: the request was accepted.
constexpr UINT_PTR SHELL_ERROR_LIMIT = 32;

// The composed error text for an outcome.
std::string ErrorText(int outcome, int actionType) {
    if (outcome == HyperlinkAction::OUTCOME_NOTIFY_FAILED) {
        // Only a User defined run sets this outcome, but the owner may change
        // the type afterwards: a type without a name is no index.
        if (actionType < 0 || actionType >= ACTION_TYPE_COUNT) {
            return BAD_TYPE_TEXT;
        }
        constexpr std::size_t MESSAGE_BUFFER_SIZE = 1024;
        return FormatBounded(NOTIFY_FAILED_TEXT, {actionNames[actionType]}, MESSAGE_BUFFER_SIZE);
    }
    if (outcome == HyperlinkAction::OUTCOME_BAD_TYPE) {
        return BAD_TYPE_TEXT;
    }
    for (const ShellErrorText& entry : shellErrorTexts) {
        if (entry.code == outcome) {
            return entry.text;
        }
    }
    return UNKNOWN_ERROR_TEXT;
}

}  // namespace

HyperlinkAction::HyperlinkAction() { Reset(); }

void HyperlinkAction::Reset() {
    actionType = ACTION_OPEN;
    file.clear();
    parameters.clear();
    workingDirectory.clear();
    showCommand = SW_SHOWNORMAL;
    notifyMessage = 0;
    notifyWindow = nullptr;
    outcome = OUTCOME_NONE;
    shellResult = nullptr;
}

BOOL HyperlinkAction::Run(BOOL reportError) {
    const HyperlinkAction saved(*this);
    shellResult = nullptr;
    const char* verb = nullptr;
    switch (actionType) {
    case ACTION_NONE: outcome = OUTCOME_NONE; return TRUE;
    case ACTION_USERDEFINED: {
        // The receiver gets the live record, as the one it may inspect.
        const LPARAM self = reinterpret_cast<LPARAM>(this);
        const BOOL delivered = notifyWindow == HWND_BROADCAST
                                   ? sys.PostMessageA(HWND_BROADCAST, notifyMessage, 0, self)
                                   : static_cast<BOOL>(sys.SendMessageA(notifyWindow, notifyMessage, 0, self) != 0);
        if (delivered) {
            outcome = OUTCOME_NONE;
            return TRUE;
        }
        outcome = OUTCOME_NOTIFY_FAILED;
        break;
    }
    case ACTION_OPEN: verb = "open"; break;
    case ACTION_PRINT: verb = "print"; break;
    case ACTION_EXPLORE: verb = "explore"; break;
    case ACTION_EMAIL:
        verb = "open";
        file = MAILTO_PREFIX + file;
        break;
    default: outcome = OUTCOME_BAD_TYPE; break;
    }
    if (verb != nullptr) {
        const HINSTANCE result =
            sys.ShellExecuteA(nullptr, verb, file.c_str(), parameters.c_str(), workingDirectory.c_str(), showCommand);
        if (reinterpret_cast<UINT_PTR>(result) > SHELL_ERROR_LIMIT) {
            shellResult = result;
        } else {
            outcome = static_cast<int>(reinterpret_cast<UINT_PTR>(result));
        }
    }
    // Only the outcome of this run stays; the e-mail prefix goes again.
    const int runOutcome = outcome;
    const HINSTANCE runResult = shellResult;
    *this = saved;
    outcome = runOutcome;
    shellResult = runResult;
    if (shellResult != nullptr) {
        outcome = OUTCOME_NONE;
        return TRUE;
    }
    if (reportError) {
        ReportError();
    }
    return FALSE;
}

void HyperlinkAction::ReportError() {
    if (outcome == OUTCOME_NONE) {
        return;
    }
    sys.MessageBeep(MB_OK);
    AfxMessageBox(ErrorText(outcome, actionType).c_str(), MB_ICONSTOP, 0);
}

}  // namespace kg
