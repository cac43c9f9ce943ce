// The About box: the product, its version and the maker's notice.
#pragma once

#include "framework/dialog.h"
#include "ui/resource.h"

namespace kg {

class AboutDialog : public CDialog {
public:
    AboutDialog() : CDialog(IDD_ABOUTBOX) {}
};

}  // namespace kg
