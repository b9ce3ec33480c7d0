#include "delta.h"

#include <cstring>
#include <fstream>

#include "archive_end.h"
#include "entry_names.h"
#include "files.h"
#include "package_format/entry_name_rule.h"
#include "package_format/package_trailer.h"

namespace fs = std::filesystem;

namespace ferrylift_pack {
namespace {

bool Refuse(std::ostream& err, const std::string& file, const std::string& reason) {
    err << "ferrylift-pack: " << file << ": " << reason << "\n";
    return false;
}

}  // namespace

std::string WindowsKey(const std::string& utf8) {
    std::string cp936;
    return package_format::FoldedName(Utf8ToCp936(utf8, &cp936) ? cp936 : utf8);
}

BaseRelease::~BaseRelease() {
    if (zip_ != nullptr) {
        unzClose(zip_);
    }
    if (package_ != nullptr) {
        std::fclose(package_);
    }
}

bool BaseRelease::Read(const std::string& since, std::ostream& err) {
    since_ = since;
    std::error_code error;
    if (fs::is_directory(since, error)) {
        return ReadFolder(since, err);
    }
    if (!fs::is_regular_file(since, error)) {
        return Refuse(err, since, "--since names neither a suite folder nor a package");
    }
    return ReadPackage(since, err);
}

bool BaseRelease::ReadFolder(const fs::path& folder, std::ostream& err) {
    std::vector<SuiteFile> files;
    if (!ListSuite(folder, &files, err)) {
        return false;
    }
    FileVersions versions;
    const fs::path client = folder / kClientProgramName;
    if (!ReadFileVersions(client, &versions)) {
        return Refuse(err, client.string(), "has no version resource with a ProductVersion");
    }
    version_ = versions.productVersion;
    for (const SuiteFile& file : files) {
        files_[WindowsKey(file.entryName)] = File{file.entryName, file.size, file.path, nullptr};
    }
    return true;
}

bool BaseRelease::ReadPackage(const std::string& path, std::ostream& err) {
    package_ = std::fopen(path.c_str(), "rb");
    if (package_ == nullptr || fseeko(package_, 0, SEEK_END) != 0) {
        return Refuse(err, path, std::string("cannot open: ") + std::strerror(errno));
    }
    const uint64_t size = static_cast<uint64_t>(ftello(package_));
    package_format::Layout layout;
    if (package_format::ReadLayout(package_, size, &layout) != package_format::LayoutStatus::kOk) {
        return Refuse(err, path, "is not an update package (check it with --verify)");
    }
    ArchiveEnd end;
    std::string reason =
        ReadArchiveEnd(package_, layout.archiveOffset, layout.trailer.dataSize, &end);
    if (!reason.empty()) {
        return Refuse(err, path, reason);
    }
    DeltaNote note;
    if (ParseDeltaNote(end.comment, &note)) {
        return Refuse(err, path,
                      "is itself a delta from " + note.base +
                          "; give the full package or the suite folder of that release");
    }
    window_ = StreamWindow{package_, layout.archiveOffset, layout.trailer.dataSize, 0};
    zip_ = OpenArchiveIn(&window_);
    if (zip_ == nullptr) {
        return Refuse(err, path, "its archive does not open");
    }
    reason = ReadEntries(zip_, &entries_);
    if (!reason.empty()) {
        return Refuse(err, path, reason);
    }
    FileVersions versions;
    if (!ReadFileVersions(path, &versions)) {
        return Refuse(err, path, "has no version resource with a ProductVersion");
    }
    version_ = versions.productVersion;
    for (const ArchiveEntry& entry : entries_) {
        const std::string name = EntryNames::Display(entry.stored, entry.utf8);
        if (!name.empty() && name.back() != '\\' && name.back() != '/') {
            files_[WindowsKey(name)] = File{name, entry.size, {}, &entry};
        }
    }
    return true;
}

bool BaseRelease::SameBytes(const File& base, const SuiteFile& file) const {
    if (base.size != file.size) {
        return false;
    }
    std::ifstream current(file.path, std::ios::binary);
    std::vector<char> buffer(kChunkSize);
    // Compares a chunk of the base's bytes with the next bytes of the new file.
    auto matches = [&](const uint8_t* data, size_t size) {
        buffer.resize(size);
        return current.read(buffer.data(), static_cast<std::streamsize>(size)) &&
               std::memcmp(buffer.data(), data, size) == 0;
    };
    bool same = true;
    if (base.entry != nullptr) {
        unz64_file_pos position = base.entry->position;
        if (unzGoToFilePos64(zip_, &position) != UNZ_OK) {
            return false;
        }
        const std::string reason = InflateEntry(zip_, *base.entry, [&](const uint8_t* d, size_t n) {
            same = matches(d, n);
            return same;
        });
        return same && reason.empty();
    }
    std::ifstream old(base.path, std::ios::binary);
    std::vector<char> chunk(kChunkSize);
    while (same &&
           old.read(chunk.data(), static_cast<std::streamsize>(chunk.size())).gcount() > 0) {
        same = matches(reinterpret_cast<const uint8_t*>(chunk.data()),
                       static_cast<size_t>(old.gcount()));
    }
    return same && !old.bad();
}

DeltaPlan PlanDelta(const BaseRelease& base, const std::vector<SuiteFile>& files) {
    DeltaPlan plan;
    plan.note.base = base.version();
    std::map<std::string, bool> present;
    for (const SuiteFile& file : files) {
        const std::string key = WindowsKey(file.entryName);
        present[key] = true;
        auto old = base.files().find(key);
        // The client always: the installer compares its version. A name whose letter case
        // changed is carried, so that it is written under its new name.
        const bool carry = file.entryName == kClientProgramName || old == base.files().end() ||
                           old->second.name != file.entryName || !base.SameBytes(old->second, file);
        if (carry) {
            plan.carried.push_back(file);
            ++plan.note.carriedFiles;
            plan.note.carriedBytes += file.size;
        } else {
            ++plan.note.unchangedFiles;
            plan.note.unchangedBytes += file.size;
        }
    }
    for (const auto& [key, file] : base.files()) {
        if (present.count(key) == 0) {
            plan.leftovers.push_back(file.name);
        }
    }
    plan.note.leftovers = plan.leftovers.size();
    return plan;
}

}  // namespace ferrylift_pack
