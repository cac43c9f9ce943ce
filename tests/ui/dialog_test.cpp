// The packed installer's dialog used as a person uses it, under Xvfb, driven from this process (person.h) on
// machines made through the product (tests/installer/machine.h). Screenshots of what it shows go to KG_SHOTS.
#include <gtest/gtest.h>

#include "tests/installer/machine.h"
#include "tests/support/texts.h"
#include "tests/ui/person.h"
#include "ui/resource.h"

namespace kg::ui {
namespace {

const std::string DIALOG = "Kestrelgard v1.0 Installer", ABOUT = "About Kestrelgard v1.0", NO_BOX = "no box";
const std::string ADDRESS = "http://www.kestrelgard.example/", OTHER_ADDRESS = "http://www.example.com/kestrelgard/";
// A box as Wine lays it out: its icon, its button, its text.
std::string Said(const char* icon, const std::string& text) { return icon + (" | OK | " + text); }
const std::string DRIVER_HELD = Said("exclamation", test::CopyFailed("kestgard.sys", ERROR_SHARING_VIOLATION, true));
const std::string LIBRARY_HELD = Said("exclamation", test::CopyFailed("kestgard.dll", ERROR_SHARING_VIOLATION, true));
const std::string INSTALLED = Said("information", test::INSTALLED), UPGRADED = Said("information", test::UPGRADED);
const std::string ABOUT_BOX =
    "icon 128 | Kestrelgard Version 1.0 | (C) 2026 The Kestrelgard Developers | OK | No warranty.";
// What the dialog shows: its info line | its enabled buttons in tab order | the focus ("*": it has the default
// button's look, the one Enter presses); or that the run ended.
const std::string INSTALL = "This program installs Kestrelgard on your computer. | ", DONE = "Close | focus on Close*";
const std::string UPGRADE = "This program upgrades the installed Kestrelgard to this version. | ";
const std::string OFFERS_INSTALL = INSTALL + "Install Cancel | focus on ", ENDED = "the run ended with exit code 0";
const std::string OFFERS_UPGRADE = UPGRADE + "Cancel Uninstall Upgrade | focus on ";
// Where a row's dialog comes from: a clean machine, one where the driver runs, or the row before, still open.
enum From { CLEAN, RUNNING, BEFORE };

TEST(Dialog, FollowsTheMachinesStateThePersonsKeysAndClicksTheSystemCommandsAndTheLinkThroughTheShell) {
    std::optional<Program> program;
    HWND dialog = nullptr;
    std::optional<test::Condition> held;  // a file, by another program, which shares only reading
    // The program's window captioned `caption`, open within `ms` ms, as its controls show it, once `answer` has
    // closed it and the dialog is active again; NO_BOX when none opens.
    const auto box = [&](const std::string& what, DWORD ms, const std::string& caption = "Kgsetup",
                         const char* answer = "press OK") {
        const HWND opened = program->Window(caption, ms);
        if (opened == nullptr)
            return NO_BOX;
        const std::string seen =
            Controls(opened, true) + (::GetWindow(opened, GW_OWNER) == dialog ? "" : " (not owned)");
        SaveScreenshot(opened, KG_SHOTS, what);
        Do(opened, answer);
        const bool back = program->Window(caption, 0) == nullptr && ::GetForegroundWindow() == dialog;
        return seen + (back ? "" : " (still open, or the dialog not active)");
    };
    const auto shown = [&] {
        const DWORD code = program->ExitCode(::IsWindowVisible(dialog) ? 0 : 10000);
        if (code != STILL_ACTIVE)
            return "the run ended with exit code " + std::to_string(code);
        GUITHREADINFO thread = {sizeof thread, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &thread);
        const HWND focus = thread.hwndFocus;
        const bool isDefault = (::GetWindowLongA(focus, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON;
        return Text(::GetDlgItem(dialog, IDC_INFO)) + " | " + Controls(dialog) + " | focus on " +
               (focus ? Text(focus) + (isDefault ? "*" : "") : "nothing");
    };

    // what; where the dialog comes from; the file another program holds from then on ("": as before, "free": none);
    // what the person does ("": nothing, it just opened); the box then; what the dialog shows once it is answered
    const std::tuple<std::string, From, std::string, const char*, std::string, std::string> rows[] = {
        {"opened on a clean machine", CLEAN, "", "", NO_BOX, OFFERS_INSTALL + "Install*"},
        {"Alt+F4", BEFORE, "", "Alt+F4", NO_BOX, ENDED},
        {"install, driver held", CLEAN, "driver in use", "press &Install", DRIVER_HELD, OFFERS_INSTALL + "Install*"},
        {"install again, driver free", BEFORE, "free", "Alt+I", INSTALLED, INSTALL + DONE},
        {"Enter on Close", BEFORE, "", "Enter", NO_BOX, ENDED},
        {"opened with the driver running", RUNNING, "", "", NO_BOX, OFFERS_UPGRADE + "Cancel*"},
        {"Tab to Uninstall", BEFORE, "", "Tab", NO_BOX, OFFERS_UPGRADE + "Uninstall*"},
        {"Tab to Upgrade", BEFORE, "", "Tab", NO_BOX, OFFERS_UPGRADE + "Upgrade*"},
        {"Tab past the disabled Install", BEFORE, "", "Tab", NO_BOX, OFFERS_UPGRADE + "Cancel*"},
        {"uninstall, Alt+U", BEFORE, "", "Alt+U", Said("information", test::REMOVED), UPGRADE + DONE},
        {"upgrade, library held", RUNNING, "message file in use", "Alt+P", LIBRARY_HELD, OFFERS_UPGRADE + "Upgrade"},
        {"Enter on Upgrade, library free: the running driver aside", BEFORE, "free", "Enter", UPGRADED, UPGRADE + DONE},
    };
    for (const auto& [what, from, file, does, opened, seen] : rows) {
        if (from != BEFORE) {
            program.reset();
            test::Prepare(from == CLEAN ? test::Clean : test::Installed);
            program.emplace(KG_INSTALLER);
            ASSERT_NE(nullptr, dialog = program->Window(DIALOG, 20000)) << what << ": the dialog did not open";
        }
        if (file == "free")
            held.reset();
        else if (!file.empty())
            held.emplace(test::Fault{file});
        *does ? Do(dialog, does) : SaveScreenshot(dialog, KG_SHOTS, what);
        EXPECT_EQ(opened, box(what, opened == NO_BOX ? 0 : 5000)) << what;
        EXPECT_EQ(seen, shown()) << what;
    }

    // what; the system command (0: none); how the About box is closed; the hook's call (PING: the About box is read).
    // A minimised dialog has no client area under Wine: icon 128 (32 by 32) centred on it is at (0 - 32 + 1) / 2.
    const std::tuple<const char*, UINT, const char*, Call, std::string> commands[] = {
        {"the system menu's last items", 0, "", MENU_END, "separator | 16 &About Kestrelgard..."},
        {"the icons", 0, "", ICONS, "big icon 128, small none, drag icon 128"},
        {"the About item, closed by OK", 16, "press OK", PING, ABOUT_BOX},
        {"command 31, closed by Enter", 31, "Enter", PING, ABOUT_BOX},
        {"command 15", 15, "", PING, NO_BOX},
        {"command 32", 32, "", PING, NO_BOX},
        {"minimised", SC_MINIMIZE, "", PAINT, "1 erased, icon 128 at -15,-15"},
        {"restored", SC_RESTORE, "", PAINT, "0 erased, nothing drawn"},
    };
    for (const auto& [what, command, close, call, seen] : commands) {
        if (command)
            Post(dialog, WM_SYSCOMMAND, command);
        EXPECT_EQ(seen, call == PING ? box(what, *close ? 5000 : 0, ABOUT, close) : Ask(dialog, call)) << what;
    }

    const test::TempDir dir;
    const std::string record = dir.Str("opened.txt");
    EXPECT_EQ("blue", LinkColour(dialog, IDC_HYPERLINK)) << "the link at first, painted before the mouse comes";
    // what the person does, one row after the other; whether the shell has an http handler; the link's new text
    // ("": unchanged); the tooltip over it then; the addresses the shell opened so far; the box; the link's colour
    const std::tuple<std::string, bool, std::string, std::string, std::string, std::string, const char*> clicks[] = {
        {"click, no http handler", false, "", ADDRESS, "",
         Said("stop", "There is no application associated\nwith the given filename extension."), "blue"},
        {"click", true, "", ADDRESS, ADDRESS + "\n", NO_BOX, "purple"},
        {"click after a new text", true, OTHER_ADDRESS, OTHER_ADDRESS, ADDRESS + "\n" + OTHER_ADDRESS + "\n", NO_BOX,
         "purple"},
    };
    for (const auto& [what, handler, text, tooltip, opened, told, colour] : clicks) {
        SetHttpHandler(handler ? KG_RECORDER : "", record);
        if (!text.empty())
            ::SetWindowTextA(::GetDlgItem(dialog, IDC_HYPERLINK), text.c_str());
        EXPECT_EQ("hand", Hover(dialog, IDC_HYPERLINK)) << what << ": the cursor over the link";
        EXPECT_EQ(tooltip, Tooltip()) << what;
        Hover(dialog, IDC_HYPERLINK, true);
        EXPECT_EQ(opened, Opened(record, std::count(opened.begin(), opened.end(), '\n'))) << what;
        EXPECT_EQ(told, box(what, handler ? 0 : 5000)) << what;
        EXPECT_EQ(colour, LinkColour(dialog, IDC_HYPERLINK)) << what;
        EXPECT_EQ("arrow", Hover(dialog, IDC_INFO)) << what << ": the cursor over the info line";
    }
}

}  // namespace
}  // namespace kg::ui
