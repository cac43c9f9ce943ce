#include "installer/temp_folder.h"

#include <utility>

#include "framework/text.h"
#include "installer/place_file.h"
#include "installer/private_folder.h"

namespace kg {

DWORD TempFolder::Make(const std::string& folderPath) {
    Remove();
    path = folderPath;
    const VolumeTraits volume = VolumeOf(folderPath);
    DWORD error = CreatePrivateFolder(folderPath, volume);
    // Whatever has the name already may be anybody's: a folder with their
    // files and links in it, a link to any folder of the machine. It is
    // renamed aside, which acts on the entry alone, and the folder made
    // again; one that reappears meanwhile is a failure, not used. Another
    // run's folder, held by it, cannot be renamed: that run keeps it.
    if (error == ERROR_ALREADY_EXISTS) {
        std::string aside;
        error = MoveAside(folderPath.substr(0, folderPath.size() - 1), aside);
        if (error == ERROR_SUCCESS) {
            error = CreatePrivateFolder(folderPath, volume);
        }
    }
    if (error != ERROR_SUCCESS) {
        return error;
    }
    FileHandle held = HoldFolder(folderPath.substr(0, folderPath.size() - 1), volume);
    if (!held) {
        return ::GetLastError();
    }
    // Between its making and its holding the folder could have been renamed
    // away and another put in its place: the one held must be the one made.
    error = CheckHeldFolder(held.Get(), volume);
    if (error == ERROR_SUCCESS) {
        folder = std::move(held);
    }
    return error;
}

CFile* TempFolder::Find(const std::string& name) {
    for (Extracted& extracted : files) {
        if (EqualsNoCase(extracted.name, name)) {
            return &extracted.file;
        }
    }
    return nullptr;
}

bool TempFolder::Remove() {
    files.clear();
    if (!folder) {
        return false;
    }
    DeleteWhenClosed(folder.Get());
    folder.Reset();
    return true;
}

CFile* TempFolder::Create(const std::string& name) {
    if (!folder) {
        return nullptr;
    }
    // A new file (nothing that had the name is opened), which others may
    // only read while the run holds it, and which the system deletes when
    // the run lets it go.
    const std::string filePath = path + name;
    FileHandle file(sys.CreateFileA(filePath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) {
        return nullptr;
    }
    files.emplace_back();
    files.back().name = name;
    files.back().file.Attach(std::move(file), filePath);
    return &files.back().file;
}

void TempFolder::Discard(const std::string& name) {
    files.remove_if([&](const Extracted& extracted) { return EqualsNoCase(extracted.name, name); });
}

}  // namespace kg
