// The carried archive in the temporary folder: written once, then read by the check and both
// passes through the same open file, so no other file can take its place in between.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file.h"

namespace Update {

class TempArchive {
public:
    enum class Outcome { kWritten, kReadFailed, kWriteFailed };

    // Creates Update::GetTempFileNameA's file anew and copies the size bytes that follow the
    // position of from into it, a piece at a time: the archive is never held in memory whole,
    // which for tens of MB would cost more in page faults than the copy itself. On failure no
    // partial file is left behind; a failed write is logged with the system error under the
    // tag "Update::CopyFileA".
    Outcome CopyFrom(std::FILE* from, uint32_t size);

    platform::FileHandle File() const { return file_.Get(); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    platform::UniqueFile file_;
};

}  // namespace Update
