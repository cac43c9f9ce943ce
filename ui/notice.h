// The maker's notice and web address, shown by both dialogs. The About box
// gives the notice's lines 139 and 56 dialog units: keep them that short.
#pragma once

#define KG_NOTICE_LINE1 "(C) 2026 The Kestrelgard Developers"
#define KG_NOTICE_LINE2 "No warranty."
#define KG_WEB_ADDRESS "http://www.kestrelgard.example/"
