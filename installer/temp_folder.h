// The run's temporary folder and the files extracted into it. The folder is
// made for the run and held from its making to its removal; each extracted
// file is held open from its creation (others may only read it) until the
// run lets it go, and then the system deletes it. So the copies out of the
// folder and its removal go through the run's own handles, never through a
// name that someone could meanwhile have pointed elsewhere.
#pragma once

#include <list>
#include <string>

#include "framework/file.h"
#include "framework/handle.h"

namespace kg {

class TempFolder {
public:
    TempFolder() = default;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() { Remove(); }

    // Makes the folder `folderPath` (ending in a separator) for this run and holds
    // it, after moving aside whatever had its name; the folder held is
    // checked through its handle to be the one made. ERROR_SUCCESS or the
    // error; the run then has no folder.
    DWORD Make(const std::string& folderPath);

    // Whether the run holds its folder.
    explicit operator bool() const { return folder.IsValid(); }

    // The extracted file `name`, open for reading; null when it was not
    // extracted.
    CFile* Find(const std::string& name);

    // Lets the extracted files go (the system deletes them), then the folder,
    // which goes once it is empty. Whether the run had a folder to remove.
    bool Remove();

    // Where the payload's entries go (PayloadArchive::ExtractAll).
    CFile* Create(const std::string& name);
    void Discard(const std::string& name);

private:
    struct Extracted {
        std::string name;
        CFile file;
    };

    std::string path;
    FileHandle folder;
    std::list<Extracted> files;  // a list: the files stay where they are
};

}  // namespace kg
