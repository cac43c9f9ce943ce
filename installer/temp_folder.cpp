#include "installer/temp_folder.h"

#include <utility>

#include "framework/text.h"
#include "installer/place_file.h"
#include "installer/private_folder.h"

namespace kg {

DWORD TempFolder::Make(const std::string& path) {
    Remove();
    path_ = path;
    const VolumeTraits volume = VolumeOf(path);
    DWORD error = CreatePrivateFolder(path, volume);
    // Whatever has the name already may be anybody's: a folder with their
    // files and links in it, a link to any folder of the machine. It is
    // renamed aside, which acts on the entry alone, and the folder made
    // again; one that reappears meanwhile is a failure, not used. Another
    // run's folder, held by it, cannot be renamed: that run keeps it.
    if (error == ERROR_ALREADY_EXISTS) {
        std::string aside;
        error = MoveAside(path.substr(0, path.size() - 1), aside);
        if (error == ERROR_SUCCESS) {
            error = CreatePrivateFolder(path, volume);
        }
    }
    if (error != ERROR_SUCCESS) {
        return error;
    }
    FileHandle folder = HoldFolder(path.substr(0, path.size() - 1), volume);
    if (!folder) {
        return ::GetLastError();
    }
    // Between its making and its holding the folder could have been renamed
    // away and another put in its place: the one held must be the one made.
    error = CheckHeldFolder(folder.Get(), volume);
    if (error == ERROR_SUCCESS) {
        folder_ = std::move(folder);
    }
    return error;
}

CFile* TempFolder::Find(const std::string& name) {
    for (Extracted& extracted : files_) {
        if (EqualsNoCase(extracted.name, name)) {
            return &extracted.file;
        }
    }
    return nullptr;
}

bool TempFolder::Remove() {
    files_.clear();
    if (!folder_) {
        return false;
    }
    DeleteWhenClosed(folder_.Get());
    folder_.Reset();
    return true;
}

CFile* TempFolder::Create(const std::string& name) {
    if (!folder_) {
        return nullptr;
    }
    // A new file (nothing that had the name is opened), which others may
    // only read while the run holds it, and which the system deletes when
    // the run lets it go.
    const std::string path = path_ + name;
    FileHandle file(sys.CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) {
        return nullptr;
    }
    files_.emplace_back();
    files_.back().name = name;
    files_.back().file.Attach(std::move(file), path);
    return &files_.back().file;
}

void TempFolder::Discard(const std::string& name) {
    files_.remove_if([&](const Extracted& extracted) { return EqualsNoCase(extracted.name, name); });
}

}  // namespace kg
