// The payload's entries written as plain files into a folder, each created
// or replaced and closed when the next one begins.
#pragma once

#include <string>

#include "framework/file.h"
#include "framework/path.h"

namespace kg::test {

class FolderSink {
public:
    explicit FolderSink(std::string folder) : folder_(std::move(folder) + PATH_SEPARATOR) {}

    CFile* Create(const std::string& name) {
        output_.Abort();
        return output_.Open((folder_ + name).c_str(), CFile::modeCreate | CFile::modeWrite) ? &output_ : nullptr;
    }
    void Discard(const std::string& name) {
        output_.Abort();
        CFile::Remove((folder_ + name).c_str());
    }

private:
    std::string folder_;
    CFile output_;
};

}  // namespace kg::test
