// The packed installer's dialog used as a person uses it, under Xvfb: started without arguments on this machine, made
// a kind of machine through the product (tests/installer/machine.h), driven from this process (person.h).
// Screenshots of the states, boxes and the About box go to KG_SHOTS.
#include <gtest/gtest.h>

#include <optional>

#include "framework/system_text.h"
#include "tests/installer/machine.h"
#include "tests/ui/person.h"
#include "ui/resource.h"

namespace kg::ui {
namespace {

const std::string DIALOG = "Kestrelgard v1.0 Installer", ABOUT = "About Kestrelgard v1.0", BOX = "Kgsetup";
const std::string INSTALLED = "information: Kestrelgard has been successfully installed. [OK]";
const std::string REMOVED =
    "information: Kestrelgard has been successfully removed from your system.\nPlease reboot to complete "
    "uninstallation. [OK]";
const std::string UPGRADED =
    "information: The new version of Kestrelgard has been successfully copied to your system.\nPlease reboot for the "
    "upgrade to take effect. [OK]";
const std::string NO_ASSOCIATION = "stop: There is no application associated\nwith the given filename extension. [OK]";
const std::string ADDRESS = "http://www.kestrelgard.example/", OTHER_ADDRESS = "http://www.example.com/kestrelgard/";

// A box shows the system's text without its line end.
std::string CopyFailed(DWORD code, const std::string& name = "kestgard.sys") {
    const std::string text = FormatSystemMessage(code);
    return "exclamation: An error occurred while copying the file " + name + ":\n" +
           text.substr(0, text.find_last_not_of("\r\n") + 1) + " [OK]";
}

// What the dialog shows: its info line, its enabled buttons in tab order, and
// the focus ("*": it has the default button's look, the one Enter presses).
const std::string OFFERS_INSTALL = "This program installs Kestrelgard on your computer. | Install Cancel | focus on ";
const std::string OFFERS_UPGRADE =
    "This program upgrades the installed Kestrelgard to this version. | Cancel Uninstall Upgrade | focus on ";
const std::string INSTALL_DONE = "This program installs Kestrelgard on your computer. | Close | focus on Close*";
const std::string UPGRADE_DONE =
    "This program upgrades the installed Kestrelgard to this version. | Close | focus on Close*";
const std::string ENDED = "the run ended with exit code 0", NO_BOX = "no box";

// What a row does to the machine with the dialog open.
void FolderInDriversPlace() { ::CreateDirectoryA(test::InstalledDriver().c_str(), nullptr); }
void FolderRemoved() { ::RemoveDirectoryA(test::InstalledDriver().c_str()); }
FileHandle heldLibrary;  // by another program, which shares only reading
void LibraryHeld() {
    heldLibrary.Reset(::CreateFileA(test::InstalledMessageFile().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
}
void LibraryFree() { heldLibrary.Reset(); }

class Dialog : public testing::Test {
protected:
    // Where a row's dialog comes from: opened on a clean machine, on one
    // where the driver runs, or the row before's, still open.
    enum From { CLEAN, INSTALLED_MACHINE, BEFORE };

    void Open(From from, const std::string& what) {
        if (from == BEFORE)
            return;
        program.reset();
        FolderRemoved();
        test::Prepare(from == CLEAN ? test::Clean : test::Installed);
        program.emplace(KG_INSTALLER);
        ASSERT_NE(nullptr, dialog = program->Window(DIALOG, 20000)) << what << ": the dialog did not open";
    }

    void Shot(HWND window, const std::string& name) { SaveScreenshot(window, KG_SHOTS "\\" + name + ".bmp"); }

    // The box open within `ms` ms, as "icon: text [enabled buttons]", then answered with OK; "no box" when none.
    std::string Box(const std::string& what, DWORD ms = 5000) {
        const HWND box = program->Window(BOX, ms);
        if (box == nullptr)
            return NO_BOX;
        EXPECT_EQ(dialog, ::GetWindow(box, GW_OWNER)) << what << ": the box is not the dialog's";
        const std::string seen =
            Ask(box, STATIC_ICON) + ": " + Text(::GetDlgItem(box, 0xFFFF)) + " [" + Controls(box) + "]";
        Shot(box, "box " + what);
        Press(box, "OK");
        Shot(dialog, "dialog after " + what);
        return seen;
    }

    std::string Seen() {
        const DWORD code = program->ExitCode(::IsWindowVisible(dialog) ? 0 : 10000);
        if (code != STILL_ACTIVE)
            return "the run ended with exit code " + std::to_string(code);
        GUITHREADINFO thread = {sizeof thread, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &thread);
        const HWND focus = thread.hwndFocus;
        const bool isDefault = (::GetWindowLongA(focus, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON;
        return Text(::GetDlgItem(dialog, IDC_INFO)) + " | " + Controls(dialog) + " | focus on " +
               (focus ? Text(focus) + (isDefault ? "*" : "") : "nothing");
    }

    std::optional<Program> program;
    HWND dialog = nullptr;
};

TEST_F(Dialog, FollowsTheMachinesStateAndThePersonsKeysAndClicks) {
    // what; where the dialog comes from; what happens to the machine first (nullptr: nothing); what the person does
    // ("": nothing, it just opened); the box then; what the dialog shows once it is answered
    const struct {
        std::string what;
        From from;
        void (*first)();
        const char* does;
        std::string box, seen;
    } rows[] = {
        {"opened on a clean machine", CLEAN, nullptr, "", NO_BOX, OFFERS_INSTALL + "Install*"},
        {"Tab", BEFORE, nullptr, "Tab", NO_BOX, OFFERS_INSTALL + "Cancel*"},
        {"Tab past the disabled Uninstall and Upgrade", BEFORE, nullptr, "Tab", NO_BOX, OFFERS_INSTALL + "Install*"},
        {"Shift+Tab", BEFORE, nullptr, "Shift+Tab", NO_BOX, OFFERS_INSTALL + "Cancel*"},
        {"Alt+U of the disabled Uninstall", BEFORE, nullptr, "Alt+U", NO_BOX, OFFERS_INSTALL + "Cancel*"},
        {"Alt+P of the disabled Upgrade", BEFORE, nullptr, "Alt+P", NO_BOX, OFFERS_INSTALL + "Cancel*"},
        {"Escape", BEFORE, nullptr, "Escape", NO_BOX, ENDED},
        {"the close box", CLEAN, nullptr, "close box", NO_BOX, ENDED},
        {"Alt+F4", CLEAN, nullptr, "Alt+F4", NO_BOX, ENDED},
        {"Cancel", CLEAN, nullptr, "press Cancel", NO_BOX, ENDED},
        {"install", CLEAN, nullptr, "Enter", INSTALLED, INSTALL_DONE},
        {"Enter on Close", BEFORE, nullptr, "Enter", NO_BOX, ENDED},
        {"install, a folder in the driver's place", CLEAN, FolderInDriversPlace, "press Install",
         CopyFailed(ERROR_ACCESS_DENIED), OFFERS_INSTALL + "Install*"},
        {"install again, the folder gone", BEFORE, FolderRemoved, "Alt+I", INSTALLED, INSTALL_DONE},
        {"Escape after the install", BEFORE, nullptr, "Escape", NO_BOX, ENDED},
        {"opened with the driver running", INSTALLED_MACHINE, nullptr, "", NO_BOX, OFFERS_UPGRADE + "Cancel*"},
        {"Tab to Uninstall", BEFORE, nullptr, "Tab", NO_BOX, OFFERS_UPGRADE + "Uninstall*"},
        {"Tab to Upgrade", BEFORE, nullptr, "Tab", NO_BOX, OFFERS_UPGRADE + "Upgrade*"},
        {"Tab past the disabled Install", BEFORE, nullptr, "Tab", NO_BOX, OFFERS_UPGRADE + "Cancel*"},
        {"Alt+I of the disabled Install", BEFORE, nullptr, "Alt+I", NO_BOX, OFFERS_UPGRADE + "Cancel*"},
        {"Enter on the focused Cancel", BEFORE, nullptr, "Enter", NO_BOX, ENDED},
        {"uninstall, Alt+U", INSTALLED_MACHINE, nullptr, "Alt+U", REMOVED, UPGRADE_DONE},
        {"the close box after the uninstall", BEFORE, nullptr, "close box", NO_BOX, ENDED},
        {"upgrade, Alt+P, the library held by another program", INSTALLED_MACHINE, LibraryHeld, "Alt+P",
         CopyFailed(ERROR_SHARING_VIOLATION, "kestgard.dll"), OFFERS_UPGRADE + "Upgrade"},
        {"Enter on the focused Upgrade, the library free: the running driver moved aside", BEFORE, LibraryFree, "Enter",
         UPGRADED, UPGRADE_DONE},
        {"Alt+F4 after the upgrade", BEFORE, nullptr, "Alt+F4", NO_BOX, ENDED},
    };
    for (const auto& row : rows) {
        Open(row.from, row.what);
        if (row.first)
            row.first();
        *row.does ? Do(dialog, row.does) : Shot(dialog, "dialog " + row.what);
        EXPECT_EQ(row.box, Box(row.what, row.box == NO_BOX ? 0 : 5000)) << row.what;
        EXPECT_EQ(row.seen, Seen()) << row.what;
    }
}

TEST_F(Dialog, SystemCommands16To31OpenTheAboutBox) {
    // what; the system command; how the About box is closed (nullptr: none opens)
    const struct {
        const char* what;
        UINT command;
        const char* close;
    } rows[] = {
        {"the About item, closed by OK", 16, "press OK"},
        {"command 17, closed by Escape", 17, "Escape"},
        {"command 31, closed by Enter", 31, "Enter"},
        {"command 15", 15, nullptr},
        {"command 32", 32, nullptr},
    };
    Open(CLEAN, "for the About box");
    for (const auto& row : rows) {
        SysCommand(dialog, row.command);
        const HWND about = program->Window(ABOUT, row.close ? 5000 : 0);
        EXPECT_EQ(row.close != nullptr, about != nullptr) << row.what << ": the About box opened, or did not";
        if (about == nullptr)
            continue;
        EXPECT_EQ("icon 128 | Kestrelgard Version 1.0 | (C) 2026 The Kestrelgard Developers | OK | No warranty.",
                  Ask(about, STATIC_ICON) + " | " + Controls(about, true))
            << row.what;
        EXPECT_EQ(dialog, ::GetWindow(about, GW_OWNER)) << row.what << ": the About box is not the dialog's";
        if (row.command == 16)
            Shot(about, "about");
        Do(about, row.close);
        EXPECT_TRUE(program->Window(ABOUT, 0) == nullptr && ::GetForegroundWindow() == dialog)
            << row.what << ": the About box stayed, or the dialog is not active again";
    }
}

TEST_F(Dialog, SystemMenuIconsAndMinimisedPainting) {
    // what; the system command first (0: none); the hook's call in the dialog's thread; its answer. A minimised
    // dialog has no client area under Wine: icon 128 (32 by 32) centred on it is at (0 - 32 + 1) / 2.
    const struct {
        const char* what;
        UINT command;
        Call call;
        const char* seen;
    } rows[] = {
        {"the system menu's last items", 0, MENU_END, "separator | 16 &About Kestrelgard..."},
        {"the icons", 0, ICONS, "big icon 128, small none, drag icon 128"},
        {"minimised", SC_MINIMIZE, PAINT, "1 erased, icon 128 at -15,-15"},
        {"restored", SC_RESTORE, PAINT, "0 erased, nothing drawn"},
    };
    Open(CLEAN, "for its menu and icons");
    for (const auto& row : rows) {
        if (row.command)
            SysCommand(dialog, row.command);
        EXPECT_EQ(row.seen, Ask(dialog, row.call)) << row.what;
    }
}

TEST_F(Dialog, TheLinkOpensItsAddressThroughTheShell) {
    const test::TempDir dir;
    const std::string record = dir.Str("opened.txt");
    Open(CLEAN, "for the link");
    EXPECT_EQ("blue", LinkColour(dialog, IDC_HYPERLINK)) << "the link at first";
    EXPECT_EQ("arrow", Hover(dialog, IDC_INFO)) << "the cursor over the info line";
    EXPECT_EQ("hand", Hover(dialog, IDC_HYPERLINK)) << "the cursor over the link";
    // what the user does, one row after the other; whether the shell has an http handler; the link's new text
    // (nullptr: unchanged); the tooltip then; the addresses the shell opened so far; the box shown; the link's colour
    // after
    const struct {
        std::string what;
        bool handler;
        const char* text;
        std::string tooltip, opened, box;
        const char* colour;
    } rows[] = {
        {"click, no http handler", false, nullptr, ADDRESS, "", NO_ASSOCIATION, "blue"},
        {"click", true, nullptr, ADDRESS, ADDRESS + "\n", NO_BOX, "purple"},
        {"click after a new text", true, OTHER_ADDRESS.c_str(), OTHER_ADDRESS, ADDRESS + "\n" + OTHER_ADDRESS + "\n",
         NO_BOX, "purple"},
    };
    for (const auto& row : rows) {
        SetHttpHandler(row.handler ? KG_RECORDER : "", record);
        if (row.text)
            ::SetWindowTextA(::GetDlgItem(dialog, IDC_HYPERLINK), row.text);
        EXPECT_EQ(row.tooltip, Tooltip(dialog, IDC_HYPERLINK)) << row.what;
        Hover(dialog, IDC_HYPERLINK, true);
        EXPECT_EQ(row.opened, Opened(record, std::count(row.opened.begin(), row.opened.end(), '\n'))) << row.what;
        EXPECT_EQ(row.box, Box(row.what, row.handler ? 0 : 5000)) << row.what;
        EXPECT_EQ(row.colour, LinkColour(dialog, IDC_HYPERLINK)) << row.what;
        Hover(dialog, IDC_INFO);
        Shot(dialog, "link after " + row.what);
    }
}

}  // namespace
}  // namespace kg::ui
