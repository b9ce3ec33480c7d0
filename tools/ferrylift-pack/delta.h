// Delta packages: from the new suite, only the files that are new or differ from an earlier
// release (its suite folder, or a full package made from it), and always the client program.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "archive_entries.h"
#include "archive_io.h"
#include "delta_note.h"
#include "suite.h"

namespace ferrylift_pack {

// The earlier release, read from a folder or from the archive of a package.
class BaseRelease {
public:
    BaseRelease() = default;
    ~BaseRelease();
    BaseRelease(const BaseRelease&) = delete;
    BaseRelease& operator=(const BaseRelease&) = delete;

    // False with the reason on err.
    bool Read(const std::string& since, std::ostream& err);
    const std::string& version() const { return version_; }

    struct File {
        std::string name;  // as in the new suite: UTF-8, '\\' separated
        uint64_t size = 0;
        std::filesystem::path path;           // in a folder
        const ArchiveEntry* entry = nullptr;  // in a package
    };
    // The files by the name Windows finds them under.
    const std::map<std::string, File>& files() const { return files_; }

    // Whether the base's file has exactly the bytes of the file at path. False also when either
    // cannot be read (the file is then carried).
    bool SameBytes(const File& base, const SuiteFile& file) const;

private:
    bool ReadFolder(const std::filesystem::path& folder, std::ostream& err);
    bool ReadPackage(const std::string& path, std::ostream& err);

    std::string since_;
    std::string version_;
    std::map<std::string, File> files_;
    std::vector<ArchiveEntry> entries_;
    std::FILE* package_ = nullptr;
    StreamWindow window_;
    unzFile zip_ = nullptr;
};

// The key under which Windows finds an entry name (UTF-8): folded in the code page 936.
std::string WindowsKey(const std::string& utf8);

struct DeltaPlan {
    std::vector<SuiteFile> carried;
    DeltaNote note;
    std::vector<std::string> leftovers;  // names of the base's files the new suite lacks
};

// Chooses what a delta from base carries of files (the new suite, in its order).
DeltaPlan PlanDelta(const BaseRelease& base, const std::vector<SuiteFile>& files);

}  // namespace ferrylift_pack
