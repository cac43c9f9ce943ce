// The one application object, created before the entry point runs.
#include "app/installer_app.h"

kg::InstallerApp theApp;
