// Resource identifiers of the controls.
#pragma once

// The hyperlink's pointing hand, 32 by 32, hot spot at the fingertip (5, 0).
#define IDC_HYPERLINK_HAND 23460
