// The temporary folder of a run: made fresh and private to the user running
// the installer, held open so that nobody can put another in its place, and
// checked through the handle that holds it. Whatever had its name before is
// moved aside, never opened, emptied or followed.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handle.h"

namespace kg {

// What the volume of a folder keeps.
struct VolumeTraits {
    bool keepsSecurity = true;      // access lists and owners (not FAT)
    bool hasReparsePoints = false;  // links: junctions, symbolic links
};

// The volume of `path`; when it cannot be asked, one that keeps security
// (the folder is then protected wherever it can be) and has no links.
VolumeTraits VolumeOf(const std::string& path);

// Creates the folder `path` with access for the current user, SYSTEM and the
// Administrators only, inherited by everything made inside and by nothing
// from the folder above; plainly on a volume that keeps no security (FAT).
// Returns ERROR_SUCCESS or the error, ERROR_ALREADY_EXISTS when something
// has that name.
DWORD CreatePrivateFolder(const std::string& path, const VolumeTraits& volume);

// Opens the folder `path` (a link itself, where the volume has links) so
// that, while the handle lives, it can be neither deleted nor renamed, and
// read through the handle. An invalid handle and the last error on failure.
FileHandle HoldFolder(const std::string& path, const VolumeTraits& volume);

// ERROR_SUCCESS when the held `folder` is the one CreatePrivateFolder makes
// for this run: a directory, not a link, and where the volume keeps
// security, owned by this user and open to nobody but this user, SYSTEM and
// the Administrators. ERROR_ALREADY_EXISTS when it is something else, or
// the error of a query that failed.
DWORD CheckHeldFolder(HANDLE folder, const VolumeTraits& volume);

// Deletes the folder held by `folder` once the handle is closed, if it is
// empty then; nothing else is looked up by name. Whether the system took it.
bool DeleteWhenClosed(HANDLE folder);

}  // namespace kg
