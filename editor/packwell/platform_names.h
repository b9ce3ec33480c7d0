// Which entry names this system can hold. Only what the platform refuses is
// refused: ":" and the other reserved characters of Windows are legal file
// name characters elsewhere.
#pragma once

#include <filesystem>
#include <string>

namespace packwell {

// An entry name ("/"-separated) stays below the folder it is unpacked into:
// not empty, no leading "/", no ".." segment, no NUL; on Windows also no
// drive or stream prefix.
bool IsSafeEntryName(const std::string& name);

// Whether the file system can hold path (below folder, which exists): each
// segment within the longest name the folder's file system takes, the whole
// within the longest path, and (on Windows) no reserved character or device
// name.
bool IsStorablePath(const std::filesystem::path& folder, const std::string& relative);

}  // namespace packwell
