// The carried archive in the temporary folder: written once, then read by the check and both
// passes through the same open file, so no other file can take its place in between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"

namespace Update {

class TempArchive {
public:
    // Creates Update::GetTempFileNameA's file anew and writes data to it. False, with the
    // reason (and the system error) logged under the tag "Update::CopyFileA" and no partial
    // file left behind, when it cannot.
    bool Write(const std::vector<uint8_t>& data);

    platform::FileHandle File() const { return file_.Get(); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    platform::UniqueFile file_;
};

}  // namespace Update
