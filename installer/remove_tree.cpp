#include <cstring>

#include "installer/private_folder.h"

namespace kg {

DWORD RemoveTree(const std::string& path) {
    const DWORD attributes = sys.GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return sys.DeleteFileA(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
    }
    // A link (a junction, say) is removed itself: what it points to may be
    // any folder of the machine.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAA item;
        // Closed before the folder is removed, which it would hold.
        const FindHandle find(sys.FindFirstFileA((path + "\\*").c_str(), &item));
        if (!find) {
            return ::GetLastError();  // a folder lists at least "." and ".."
        }
        do {
            if (std::strcmp(item.cFileName, ".") != 0 && std::strcmp(item.cFileName, "..") != 0) {
                const DWORD error = RemoveTree(path + "\\" + item.cFileName);
                if (error != ERROR_SUCCESS) {
                    return error;
                }
            }
        } while (sys.FindNextFileA(find.Get(), &item));
    }
    return sys.RemoveDirectoryA(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
}

}  // namespace kg
