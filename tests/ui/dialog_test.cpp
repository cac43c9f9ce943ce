// The packed installer's dialog used as a person uses it, under Xvfb: started
// without arguments on this machine, brought into a kind through the product
// (tests/installer/machine.h), and driven from this process (person.h).
// Screenshots of each state, box and the About box go to KG_SHOTS.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "framework/system_text.h"
#include "tests/installer/machine.h"
#include "tests/ui/person.h"
#include "ui/resource.h"

namespace kg::ui {
namespace {

const std::string DIALOG = "Kestrelgard v1.0 Installer", ABOUT = "About Kestrelgard v1.0", BOX = "Kgsetup";
const std::string INFO_INSTALL = "This program installs Kestrelgard on your computer.";
const std::string INFO_UPGRADE = "This program upgrades the installed Kestrelgard to this version.";
const std::string INSTALLED = "Kestrelgard has been successfully installed.";
const std::string REMOVED = "Kestrelgard has been successfully removed from your system.\nPlease reboot to complete uninstallation.";
const std::string UPGRADED = "The new version of Kestrelgard has been successfully copied to your system.\nPlease reboot for the upgrade to take effect.";
const std::string ADDRESS = "http://www.kestrelgard.example/", OTHER_ADDRESS = "http://www.example.com/kestrelgard/";
const std::string NO_ASSOCIATION = "There is no application associated\nwith the given filename extension.";

// A box shows the system's text without its line end.
std::string CopyFailed(DWORD code) {
    const std::string text = FormatSystemMessage(code);
    return "An error occurred while copying the file kestgard.sys:\n" + text.substr(0, text.find_last_not_of("\r\n") + 1);
}

// What the dialog shows: its info line and its enabled buttons in tab order.
struct State { std::string info, buttons; };
const State OFFERS_INSTALL = {INFO_INSTALL, "Install Cancel"}, OFFERS_UPGRADE = {INFO_UPGRADE, "Cancel Uninstall Upgrade"};
const State INSTALL_DONE = {INFO_INSTALL, "Close"}, UPGRADE_DONE = {INFO_UPGRADE, "Close"};

// What a person does to a window, in a table's row.
using Action = std::function<void(HWND)>;
Action Typing(const char* keys) { return [keys](HWND window) { Type(window, keys); }; }
Action Pressing(int button) { return [button](HWND window) { Press(window, button); }; }
const Action CLOSE_BOX = ClickCloseBox;

// What a row does to the machine with the dialog open.
void FolderInDriversPlace() { ::CreateDirectoryA(test::InstalledDriver().c_str(), nullptr); }
void FolderRemoved() { ::RemoveDirectoryA(test::InstalledDriver().c_str()); }
void DriverStopped() { test::StopDriver(false); }

class Dialog : public testing::Test {
protected:
    // Where a row's dialog comes from: opened on a clean machine, on one
    // where the driver runs, or the row before's, still open.
    enum From { CLEAN, INSTALLED_MACHINE, BEFORE };

    void Open(From from) {
        if (from == BEFORE) return;
        program.reset();
        FolderRemoved();
        test::Prepare(from == CLEAN ? test::Clean : test::Installed);
        program.emplace(KG_INSTALLER);
        dialog = program->Window(DIALOG, 20000);
        ASSERT_NE(nullptr, dialog) << "the dialog did not open";
    }

    // A screenshot as KG_SHOTS\NAME.bmp, NAME in letters, digits and "-".
    void Shot(HWND window, const std::string& name) {
        std::string file;
        for (const char c : name) {
            if (std::isalnum(static_cast<unsigned char>(c)) || (!file.empty() && file.back() != '-')) file += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
        }
        ::CreateDirectoryA(KG_SHOTS, nullptr);
        SaveScreenshot(window, KG_SHOTS "\\" + file + ".bmp");
    }

    void ExpectState(const std::string& what, const State& state) {
        EXPECT_EQ(state.info, Text(::GetDlgItem(dialog, IDC_INFO))) << what;
        EXPECT_EQ(state.buttons, Controls(dialog)) << what;
        const std::string focus = Focus(dialog);
        EXPECT_NE(std::string::npos, (" " + state.buttons + " ").find(" " + focus.substr(0, focus.find('*')) + " "))
            << what << ": the focus is on " << focus << ", not on an enabled button";
    }

    // The box an operation or the link shows: its text and icon, OK alone,
    // owned by the dialog, which is disabled under it. Answered with OK.
    void ExpectBoxAnswered(const std::string& what, const std::string& text, const std::string& icon) {
        const HWND box = program->Window(BOX);
        EXPECT_EQ(text, Text(::GetDlgItem(box, 0xFFFF))) << what;
        EXPECT_EQ(icon, Ask(box, STATIC_ICON)) << what;
        EXPECT_EQ("OK", Controls(box)) << what;
        EXPECT_EQ(dialog, ::GetWindow(box, GW_OWNER)) << what << ": the box is not the dialog's";
        EXPECT_FALSE(::IsWindowEnabled(dialog)) << what << ": the dialog can be used under its box";
        Shot(box, "box " + what);
        Press(box, IDOK);
    }

    std::optional<Program> program;
    HWND dialog = nullptr;
};

TEST_F(Dialog, ShowsTheMachinesStateAndKeysMoveTheFocusOverEnabledButtons) {
    // what; where the dialog comes from; the key typed ("": none, it just opened); the state shown then; the focus
    // then ("*": it has the default button's look, the one Enter presses)
    const struct { std::string what; From from; const char* key; State state; const char* focus; } rows[] = {
        {"opened on a clean machine", CLEAN, "", OFFERS_INSTALL, "Install*"},
        {"Tab", BEFORE, "Tab", OFFERS_INSTALL, "Cancel*"},
        {"Tab past the disabled Uninstall and Upgrade", BEFORE, "Tab", OFFERS_INSTALL, "Install*"},
        {"Shift+Tab", BEFORE, "Shift+Tab", OFFERS_INSTALL, "Cancel*"},
        {"Alt+U of the disabled Uninstall", BEFORE, "Alt+U", OFFERS_INSTALL, "Cancel*"},
        {"Alt+P of the disabled Upgrade", BEFORE, "Alt+P", OFFERS_INSTALL, "Cancel*"},
        {"opened with the driver running", INSTALLED_MACHINE, "", OFFERS_UPGRADE, "Cancel*"},
        {"Tab to Uninstall", BEFORE, "Tab", OFFERS_UPGRADE, "Uninstall*"},
        {"Tab to Upgrade", BEFORE, "Tab", OFFERS_UPGRADE, "Upgrade*"},
        {"Tab past the disabled Install", BEFORE, "Tab", OFFERS_UPGRADE, "Cancel*"},
        {"Alt+I of the disabled Install", BEFORE, "Alt+I", OFFERS_UPGRADE, "Cancel*"},
    };
    for (const auto& row : rows) {
        Open(row.from);
        if (*row.key) Type(dialog, row.key);
        if (!*row.key) Shot(dialog, "dialog " + row.what);
        ExpectState(row.what, row.state);
        EXPECT_EQ(row.focus, Focus(dialog)) << row.what;
        EXPECT_EQ(nullptr, program->Window(BOX, 0)) << row.what << " opened a box";
    }
}

TEST_F(Dialog, EveryWayOutEndsTheRunWithExitCodeZero) {
    // what the user does; where the dialog comes from; the action
    const struct { const char* what; From from; Action leave; } rows[] = {
        {"Escape", CLEAN, Typing("Escape")},
        {"the close box", CLEAN, CLOSE_BOX},
        {"Alt+F4", CLEAN, Typing("Alt+F4")},
        {"button 2", CLEAN, Pressing(IDCANCEL)},
        {"Enter on the focused Cancel, the driver running", INSTALLED_MACHINE, Typing("Enter")},
    };
    for (const auto& row : rows) {
        Open(row.from);
        row.leave(dialog);
        EXPECT_EQ(0u, program->ExitCode(10000)) << row.what << ": the dialog did not end, or not with 0 (259: still running)";
    }
}

TEST_F(Dialog, EachOperationShowsItsBoxAndLeavesItsState) {
    // what; where the dialog comes from; what happens to the machine first (nullptr: nothing); what the user
    // presses; the box's text and icon; the state once it is answered; how the user leaves (nullptr: the next row
    // goes on with this dialog)
    const struct { std::string what; From from; void (*first)(); Action press; std::string told, icon; State after; Action leave; } rows[] = {
        {"install", CLEAN, nullptr, Typing("Enter"), INSTALLED, "information", INSTALL_DONE, Typing("Enter")},
        {"uninstall", INSTALLED_MACHINE, nullptr, Pressing(IDC_UNINSTALL), REMOVED, "information", UPGRADE_DONE, CLOSE_BOX},
        {"upgrade, driver running (Wine keeps its file)", INSTALLED_MACHINE, nullptr, Pressing(IDC_UPGRADE), CopyFailed(ERROR_SHARING_VIOLATION), "exclamation", OFFERS_UPGRADE, nullptr},
        {"upgrade again, driver stopped", BEFORE, DriverStopped, Typing("Enter"), UPGRADED, "information", UPGRADE_DONE, Typing("Alt+F4")},
        {"install, a folder in the driver's place", CLEAN, FolderInDriversPlace, Pressing(IDC_INSTALL), CopyFailed(ERROR_ACCESS_DENIED), "exclamation", OFFERS_INSTALL, nullptr},
        {"install again, the folder gone", BEFORE, FolderRemoved, Typing("Alt+I"), INSTALLED, "information", INSTALL_DONE, Typing("Escape")},
    };
    for (const auto& row : rows) {
        Open(row.from);
        if (row.first) row.first();
        row.press(dialog);
        ExpectBoxAnswered(row.what, row.told, row.icon);
        ExpectState(row.what, row.after);
        Shot(dialog, "dialog after " + row.what);
        if (row.leave) {
            row.leave(dialog);
            EXPECT_EQ(0u, program->ExitCode(10000)) << row.what << ": leaving did not end the run with 0";
        }
    }
}

TEST_F(Dialog, SystemCommands16To31OpenTheAboutBox) {
    // what; the system command; how the About box is closed (nullptr: none opens)
    const struct { const char* what; UINT command; Action close; } rows[] = {
        {"the About item, closed by OK", 16, Pressing(IDOK)},
        {"command 17, closed by Escape", 17, Typing("Escape")},
        {"command 31, closed by Enter", 31, Typing("Enter")},
        {"command 15", 15, nullptr},
        {"command 32", 32, nullptr},
    };
    Open(CLEAN);
    for (const auto& row : rows) {
        SysCommand(dialog, row.command);
        const HWND about = program->Window(ABOUT, row.close ? 5000 : 0);
        if (!row.close) {
            EXPECT_EQ(nullptr, about) << row.what << " opened the About box";
            continue;
        }
        EXPECT_EQ("Kestrelgard Version 1.0 | (C) 2026 The Kestrelgard Developers | OK | No warranty.", Controls(about, true)) << row.what;
        EXPECT_EQ("icon 128", Ask(about, STATIC_ICON)) << row.what;
        EXPECT_EQ(dialog, ::GetWindow(about, GW_OWNER)) << row.what << ": the About box is not the dialog's";
        EXPECT_FALSE(::IsWindowEnabled(dialog)) << row.what << ": the dialog can be used under the About box";
        if (row.command == 16) Shot(about, "about");
        row.close(about);
        EXPECT_EQ(nullptr, program->Window(ABOUT, 0)) << row.what << ": the About box stayed";
        EXPECT_TRUE(::IsWindowEnabled(dialog) && ThreadInfo(dialog).hwndActive == dialog) << row.what << ": the dialog is not back, enabled and active";
    }
}

TEST_F(Dialog, SystemMenuAndIcons) {
    // what; the hook's call in the dialog's thread; its answer
    const struct { const char* what; Call call; const char* seen; } rows[] = {
        {"the system menu's last items", MENU_END, "separator | 16 &About Kestrelgard..."},
        {"the big icon", BIG_ICON, "icon 128"},
        {"the small icon", SMALL_ICON, "none"},
        {"the drag icon", DRAG_ICON, "icon 128"},
    };
    Open(CLEAN);
    for (const auto& row : rows) EXPECT_EQ(row.seen, Ask(dialog, row.call)) << row.what;
}

TEST_F(Dialog, MinimisedItDrawsIcon128Centred) {
    // what; the system command; whether it is minimised then. A minimised dialog has an empty client area under
    // Wine: what the paint draws is taken inside the program.
    const struct { const char* what; UINT command; bool minimised; } rows[] = {
        {"minimised", SC_MINIMIZE, true},
        {"restored", SC_RESTORE, false},
    };
    Open(CLEAN);
    for (const auto& row : rows) {
        SysCommand(dialog, row.command);
        RECT client = {};
        ::GetClientRect(dialog, &client);
        const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2, y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        const std::string centred = "1 erased, icon 128 at " + std::to_string(x) + "," + std::to_string(y) + " on the erased context";
        EXPECT_EQ(row.minimised, ::IsIconic(dialog) != FALSE) << row.what;
        EXPECT_EQ(row.minimised ? centred : "0 erased, nothing drawn", Ask(dialog, PAINT)) << row.what;
    }
}

TEST_F(Dialog, TheLinkOpensItsAddressThroughTheShell) {
    const test::TempDir dir;
    const std::string record = dir.Str("opened.txt");
    const auto shotWithoutTooltip = [&](const char* name) {
        Hover(dialog, IDC_INFO);
        WaitFor(5000, [&] { return Ask(::GetDlgItem(dialog, IDC_HYPERLINK), TOOLTIP).empty(); });
        Shot(dialog, name);
    };
    Open(CLEAN);
    EXPECT_EQ("blue", LinkColour(dialog, IDC_HYPERLINK)) << "the link at first";
    EXPECT_EQ("arrow", Hover(dialog, IDC_INFO)) << "the cursor over the info line";
    EXPECT_EQ("hand", Hover(dialog, IDC_HYPERLINK)) << "the cursor over the link";
    shotWithoutTooltip("link unvisited");
    // what the user does, one row after the other; whether the shell has an http handler; the link's new text
    // (nullptr: unchanged); the tooltip then; the addresses the shell opened so far; the box shown (nullptr:
    // none); the link's colour after
    const struct { std::string what; bool handler; const char* text; std::string tooltip, opened; const char* box; const char* colour; } rows[] = {
        {"click, no http handler", false, nullptr, ADDRESS, "", NO_ASSOCIATION.c_str(), "blue"},
        {"click", true, nullptr, ADDRESS, ADDRESS + "\n", nullptr, "purple"},
        {"click after a new text", true, OTHER_ADDRESS.c_str(), OTHER_ADDRESS, ADDRESS + "\n" + OTHER_ADDRESS + "\n", nullptr, "purple"},
    };
    for (const auto& row : rows) {
        if (row.handler) SetHttpHandler(KG_RECORDER, record);
        if (!row.handler) SetHttpHandler("", "");
        if (row.text) {
            RECT before = {}, after = {};
            ::GetWindowRect(::GetDlgItem(dialog, IDC_HYPERLINK), &before);
            ::SetWindowTextA(::GetDlgItem(dialog, IDC_HYPERLINK), row.text);
            ::GetWindowRect(::GetDlgItem(dialog, IDC_HYPERLINK), &after);
            EXPECT_GT(after.right - after.left, before.right - before.left) << row.what << ": the link was not fitted to its longer text";
            EXPECT_LE(std::abs(after.left + after.right - before.left - before.right), 1) << row.what << ": the fitting moved its centre";
        }
        EXPECT_EQ(row.tooltip, Tooltip(dialog, IDC_HYPERLINK)) << row.what;
        Click(dialog, IDC_HYPERLINK);
        if (row.box) {
            ExpectBoxAnswered(row.what, row.box, "stop");
        } else {
            EXPECT_EQ(nullptr, program->Window(BOX, 0)) << row.what << " showed a box";
        }
        EXPECT_EQ(row.opened, Opened(record, std::count(row.opened.begin(), row.opened.end(), '\n'))) << row.what;
        EXPECT_EQ(row.colour, LinkColour(dialog, IDC_HYPERLINK)) << row.what;
        if (row.what == "click") shotWithoutTooltip("link visited");
    }
}

}  // namespace
}  // namespace kg::ui
