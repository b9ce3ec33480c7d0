#include "suite.h"

#include <algorithm>

#include "archive_check.h"
#include "entry_names.h"
#include "package_format/package_trailer.h"
#include "program_check.h"
#include "unicode/utf.h"

namespace fs = std::filesystem;

namespace ferrylift_pack {
namespace {

// Without ZIP64 records the central directory counts entries in 16 bits.
constexpr size_t kMaxEntries = 65535;

bool Refuse(std::ostream& err, const std::string& file, const std::string& reason) {
    err << "ferrylift-pack: " << file << ": " << reason << "\n";
    return false;
}

}  // namespace

bool HasNonAscii(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool ListSuite(const fs::path& folder, std::vector<SuiteFile>* files, std::ostream& err) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return Refuse(err, folder.string(), "the suite is not a folder");
    }
    fs::recursive_directory_iterator it(folder, fs::directory_options::none, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::directory_entry& entry = *it;
        fs::file_status fileStatus = entry.status(error);
        if (error) {
            break;
        }
        if (fs::is_directory(fileStatus)) {
            continue;
        }
        std::string relative = fs::relative(entry.path(), folder, error).generic_string();
        if (error) {
            break;
        }
        const std::string shown = entry.path().string();
        if (!fs::is_regular_file(fileStatus)) {
            return Refuse(err, shown, "is neither a file nor a folder");
        }
        if (relative.find('\\') != std::string::npos) {
            return Refuse(err, shown,
                          "its name contains a backslash, which the installer reads as a "
                          "folder separator");
        }
        if (HasNonAscii(relative) && !utf::IsValidUtf8(relative)) {
            return Refuse(err, shown, "its name is not valid UTF-8");
        }
        std::string name = relative;
        std::replace(name.begin(), name.end(), '/', '\\');
        uint64_t size = entry.file_size(error);
        if (error) {
            break;
        }
        if (size > package_format::kMaxTotalSize) {
            return Refuse(
                err, shown,
                "is " + std::to_string(size) + " bytes; files of 2 GiB or more cannot be packaged");
        }
        files->push_back(SuiteFile{name, entry.path(), size});
    }
    if (error) {
        return Refuse(err, folder.string(), "cannot read the suite: " + error.message());
    }
    std::sort(files->begin(), files->end(),
              [](const SuiteFile& a, const SuiteFile& b) { return a.entryName < b.entryName; });
    return true;
}

bool CheckSuite(const fs::path& folder, const std::vector<SuiteFile>& files, size_t maxNameBytes,
                std::ostream& err) {
    if (files.size() > kMaxEntries) {
        return Refuse(err, folder.string(),
                      "the suite has " + std::to_string(files.size()) + " files; at most " +
                          std::to_string(kMaxEntries) + " fit");
    }
    EntryNames names(maxNameBytes);
    for (const SuiteFile& file : files) {
        names.Add(file.entryName, HasNonAscii(file.entryName));
    }
    const std::vector<NameProblem> problems = names.Check();
    size_t shown = 0;
    for (const NameProblem& problem : problems) {
        if (problem.entry == kWholeList) {
            Refuse(err, folder.string(), "the suite " + problem.message);
        } else if (++shown <= kNamesShown) {
            Refuse(err, files[problem.entry].path.string(), problem.message);
        }
    }
    if (shown > kNamesShown) {
        Refuse(err, folder.string(),
               std::to_string(shown - kNamesShown) + " more names are refused");
    }
    if (!problems.empty()) {
        return false;
    }
    for (const SuiteFile& file : files) {
        if (IsPackageFile(file.path.string())) {
            return Refuse(err, file.path.string(),
                          "entry " + file.entryName + " is itself an update package");
        }
    }
    return true;
}

}  // namespace ferrylift_pack
