// kgdemo INSTALLER RECORDER FOLDER: the dialog part of scripts/demo, on a
// machine where the driver runs: the link hovered and clicked with RECORDER as
// the http handler, Uninstall pressed and its box answered. Each step's
// screenshot goes to FOLDER as NAME.bmp; the line printed names the NAME.png
// that the script makes of it.
#include <cstdio>

#include "tests/ui/person.h"
#include "ui/resource.h"

using namespace kg::ui;

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string folder = argv[3];
    const auto shot = [&](HWND window, const char* name) {
        SaveScreenshot(window, folder + "/" + name + ".bmp");
        std::printf("%s/%s.png\n", folder.c_str(), name);
    };
    char record[MAX_PATH];
    ::GetFullPathNameA((folder + "/opened.txt").c_str(), MAX_PATH, record, nullptr);
    Program program(argv[1]);
    const HWND dialog = program.Window("Kestrelgard v1.0 Installer", 20000);
    shot(dialog, "1-dialog");
    SetHttpHandler(argv[2], record);
    std::printf("over the link: the %s cursor\n", Hover(dialog, IDC_HYPERLINK).c_str());
    std::printf("its tooltip: %s\n", Tooltip(dialog, IDC_HYPERLINK).c_str());
    Click(dialog, IDC_HYPERLINK);
    const std::string opened = Opened(record, 1);
    std::printf("clicked, the shell was asked to open: %s\n", opened.empty() ? "nothing" : opened.substr(0, opened.find('\n')).c_str());
    std::printf("the link now: %s\n", LinkColour(dialog, IDC_HYPERLINK).c_str());
    shot(dialog, "1-link-followed");
    Press(dialog, IDC_UNINSTALL);
    const HWND box = program.Window("Kgsetup");
    shot(box, "2-uninstalled");
    Press(box, IDOK);
    shot(dialog, "3-close");
    Press(dialog, IDCANCEL);
    std::printf("dialog run ended: exit code %lu\n", program.ExitCode(10000));
    return 0;
}
