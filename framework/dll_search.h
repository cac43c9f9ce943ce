// Where the program's libraries may come from once it runs.
#pragma once

namespace kg {

// Takes the program's folder and the current folder out of the search for
// libraries that are loaded by name, where the system allows it: a
// downloaded installer may sit beside libraries planted under system names.
// Called first thing at start-up. NT 4 and Windows 2000 have no such calls:
// there it does nothing (docs/design.md tells which libraries could still be
// planted there).
void RestrictDllSearch();

}  // namespace kg
