// Files of the machine replaced whole: after any failure a destination holds
// either its old bytes or its new ones, never a mixture, and no temporary
// file stays beside it.
#pragma once

#include <windows.h>

#include <string>

#include "framework/file.h"

namespace kg {

// What PlaceFile does with a destination that is in use (a loaded driver,
// say): fail as a copy onto it would, or move it aside and delete it at the
// next restart.
enum class InUse { FAIL, MOVE_ASIDE };

// Writes all of `source` to `destination`: under a temporary name in the
// destination's folder (the same volume, that folder's access list), flushed,
// then moved over the old file. Returns ERROR_SUCCESS or the error of the
// step that failed, the destination then as it was.
DWORD PlaceFile(CFile& source, const std::string& destination, InUse inUse);

// Deletes the file `path`; one that cannot be deleted now (a loaded driver)
// is moved aside and deleted at the next restart, so that a file put in its
// place meanwhile stays. A missing file is left alone.
void RemoveFile(const std::string& path);

// Renames whatever has the name `path` (a file, a folder, a link: the entry
// itself, never what a link points to) to a new name beside it. Returns
// ERROR_SUCCESS or the error, with the new name in `aside`.
DWORD MoveAside(const std::string& path, std::string& aside);

}  // namespace kg
