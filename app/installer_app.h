// The application: start-up chooses the run from the argument text.
#pragma once

#include "framework/winapp.h"

namespace kg {

// Exit code of the usage run.
constexpr int USAGE_EXIT_CODE = 1;
// Exit code of a silent run whose install failed: the code of a failed
// installation that deployment tools already read as failure.
constexpr int INSTALL_FAILED_EXIT_CODE = 1603;

class InstallerApp : public CWinApp {
public:
    InstallerApp() = default;
    ~InstallerApp() override = default;

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

}  // namespace kg
