// The temporary folder of a run: made fresh and private to the user running
// the installer, held open so that nobody can put another in its place, and
// whatever held its name before removed without following links out of it.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handle.h"

namespace kg {

// Creates the folder `path` with access for the current user, SYSTEM and the
// Administrators only, inherited by everything made inside and by nothing
// from the folder above; plainly on a volume that keeps no security (FAT).
// Returns ERROR_SUCCESS or the error, ERROR_ALREADY_EXISTS when something
// has that name.
DWORD CreatePrivateFolder(const std::string& path);

// Opens the folder `path` so that, while the handle lives, it can be neither
// deleted nor renamed. An invalid handle and the last error on failure.
FileHandle HoldFolder(const std::string& path);

// ERROR_SUCCESS when nothing has the name `path` (no trailing separator) or
// nobody holds it as HoldFolder holds it; else the error that opening it for
// deletion gives (a sharing violation while another run holds it).
DWORD CheckRemovable(const std::string& path);

// Removes whatever `path` (no trailing separator) names: a file, a link (not
// what it points to), or a folder with everything in it. Stops at the first
// failure and returns its error; ERROR_SUCCESS once nothing has that name.
DWORD RemoveTree(const std::string& path);

}  // namespace kg
