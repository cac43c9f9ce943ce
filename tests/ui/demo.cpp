// kgdemo INSTALLER RECORDER FOLDER: the dialog part of scripts/demo, on a machine where the driver runs: the link
// hovered and clicked with RECORDER as the http handler, the About box, Uninstall pressed and its box answered. Each
// step's screenshot goes to FOLDER as a BMP file.
#include <cstdio>

#include "tests/ui/person.h"
#include "ui/resource.h"

using namespace kg::ui;

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    const std::string folder = argv[3], record = folder + "\\opened.txt";
    Program program(argv[1]);
    const HWND dialog = program.Window("Kestrelgard v1.0 Installer", 20000);
    SaveScreenshot(dialog, folder, "1-dialog");
    SetHttpHandler(argv[2], record);
    std::printf("over the link: the %s cursor\n", Hover(dialog, IDC_HYPERLINK).c_str());
    std::printf("its tooltip: %s\n", Tooltip().c_str());
    Hover(dialog, IDC_HYPERLINK, true);
    const std::string opened = Opened(record, 1);
    std::printf("clicked, the shell was asked to open: %s", opened.empty() ? "nothing\n" : opened.c_str());
    std::printf("the link now: %s\n", LinkColour(dialog, IDC_HYPERLINK).c_str());
    SaveScreenshot(dialog, folder, "1-link-followed");
    Post(dialog, WM_SYSCOMMAND, 16);
    SaveScreenshot(program.Window("About Kestrelgard v1.0"), folder, "2-about");
    Do(program.Window("About Kestrelgard v1.0"), "press OK");
    Do(dialog, "press &Uninstall");
    SaveScreenshot(program.Window("Kgsetup"), folder, "3-uninstalled");
    Do(program.Window("Kgsetup"), "press OK");
    SaveScreenshot(dialog, folder, "4-close");
    Do(dialog, "press Close");
    std::printf("dialog run ended: exit code %lu\n", program.ExitCode(10000));
    return 0;
}
