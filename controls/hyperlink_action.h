// What following a hyperlink does: open, print or explore something through
// the shell, start an e-mail, notify a window, or nothing. The record runs its
// action on request, keeps the outcome of the last run, and can tell the user
// about a failed run with a beep and an error box.
#pragma once

#include <windows.h>

#include <string>

namespace kg {

class HyperlinkAction {
public:
    enum ActionType : int {
        ACTION_NONE = 0,
        ACTION_USERDEFINED = 1,
        ACTION_OPEN = 2,
        ACTION_PRINT = 3,
        ACTION_EXPLORE = 4,
        ACTION_EMAIL = 5,
    };
    // The outcome of the last run; 0 to 32 are the shell's own refusals.
    enum Outcome : int {
        OUTCOME_NONE = -1,
        OUTCOME_BAD_TYPE = -2,
        OUTCOME_NOTIFY_FAILED = -3,
    };

    HyperlinkAction();
    virtual ~HyperlinkAction() = default;
    HyperlinkAction(const HyperlinkAction&) = default;
    HyperlinkAction& operator=(const HyperlinkAction&) = default;

    // Every field back to its default.
    void Reset();

    std::string GetFile() const { return file; }

    // Performs the action once; TRUE on success. A failed run with
    // `reportError` nonzero is reported through ReportError. Only the outcome
    // and the shell's result change: every other field is as it was before.
    BOOL Run(BOOL reportError);

    // Tells the user about the last run's failure (nothing for OUTCOME_NONE).
    virtual void ReportError();

    int actionType;
    std::string file;  // for an e-mail: the bare address
    std::string parameters;
    std::string workingDirectory;
    int showCommand;
    UINT notifyMessage;
    HWND notifyWindow;  // HWND_BROADCAST: posted to every top-level window
    int outcome;
    HINSTANCE shellResult;  // null unless the last run was a successful shell request
};

}  // namespace kg
