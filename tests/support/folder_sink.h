// The payload's entries written as plain files into a folder, each created
// or replaced and closed when the next one begins.
#pragma once

#include <string>

#include "framework/file.h"
#include "framework/path.h"

namespace kg::test {

class FolderSink {
public:
    explicit FolderSink(const std::string& where) : folder(where + PATH_SEPARATOR) {}

    CFile* Create(const std::string& name) {
        output.Abort();
        return output.Open((folder + name).c_str(), CFile::modeCreate | CFile::modeWrite) ? &output : nullptr;
    }
    void Discard(const std::string& name) {
        output.Abort();
        CFile::Remove((folder + name).c_str());
    }

private:
    std::string folder;
    CFile output;
};

}  // namespace kg::test
