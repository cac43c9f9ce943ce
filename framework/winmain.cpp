// The program's entry point: hands over to the one application object.
#include "framework/dll_search.h"
#include "framework/winapp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    kg::RestrictDllSearch();
    kg::CWinApp* app = kg::AfxGetApp();
    return app != nullptr ? app->Run(instance, commandLine) : 1;
}
