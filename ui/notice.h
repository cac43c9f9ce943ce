// The maker's notice and web address, shown by both dialogs.
#pragma once

#define KG_NOTICE_LINE1 "Copyright (C) 2026 The Kestrelgard Developers"
#define KG_NOTICE_LINE2 "All rights reserved."
#define KG_WEB_ADDRESS "http://www.kestrelgard.example/"
