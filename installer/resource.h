// Identifiers of the engine's messages in the program's string table
// (installer/strings.rc).
#pragma once

#define IDS_PATH_FAILED 105
#define IDS_COPY_FAILED 106
#define IDS_INSTALL_FAILED 107
#define IDS_INSTALLED 110
#define IDS_USAGE 111
#define IDS_REMOVED 112
#define IDS_REMOVE_FAILED 113
#define IDS_REGISTRY_FAILED 114
#define IDS_QUERY_FAILED 115
#define IDS_UPGRADED 116
#define IDS_FOLDER_FAILED 117
#define IDS_EXTRACT_FAILED 118
#define IDS_DRIVER_UNFIT 119
#define IDS_NEEDS_64_BIT 120
