// ZipExtractEx on arbitrary archive bytes. The archive is written next to a destination three
// levels below a scratch folder; after each run the whole scratch folder is walked and every
// file or folder found must be the archive itself or lie inside the destination, so a name that
// climbs out by up to three levels is caught. Entries that cannot be created are retried once
// and then skipped, to reach the retry path without looping.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "support/zip_extract.h"

namespace fs = std::filesystem;

namespace {

struct Scratch {
    fs::path root;
    fs::path archive;
    fs::path dest;
};

const Scratch& GetScratch() {
    static const Scratch scratch = [] {
        // Memory-backed when the system has such a folder: every input writes files.
        std::error_code ec;
        fs::path folder = "/dev/shm";
        if (!fs::is_directory(folder, ec))
            folder = fs::temp_directory_path();
        std::string name = (folder / "fuzz_zip_extract.XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr)
            abort();
        Scratch s;
        s.root = name;
        s.archive = s.root / "archive.zip";
        s.dest = s.root / "a" / "b" / "dest";
        static fs::path removeAtExit;
        removeAtExit = s.root;
        atexit([] {
            std::error_code ignored;
            fs::remove_all(removeAtExit, ignored);
        });
        return s;
    }();
    return scratch;
}

bool Inside(const fs::path& path, const fs::path& folder) {
    const auto rel = path.lexically_relative(folder);
    return !rel.empty() && *rel.begin() != "..";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Scratch& s = GetScratch();
    std::error_code ec;
    fs::remove_all(s.dest, ec);
    fs::create_directories(s.dest, ec);

    FILE* file = std::fopen(s.archive.c_str(), "wb");
    if (file == nullptr)
        abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        abort();
    std::fclose(file);

    std::set<std::string> retried;
    ZipExtractEx(
        s.archive.c_str(), s.dest.c_str(),
        [&](const std::string& path) {
            // What the filter is asked about must be a path inside the destination.
            if (!Inside(fs::path(path), s.dest))
                __builtin_trap();
            return true;
        },
        [&](const std::string& path, uint32_t) {
            return retried.insert(path).second ? ZipCode::Retry : ZipCode::Skip;
        });

    for (auto it = fs::recursive_directory_iterator(s.root, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const fs::path& found = it->path();
        if (found == s.archive || Inside(found, s.dest))
            continue;
        // Only the folders on the way to the destination may exist besides.
        if (Inside(s.dest, found) && fs::is_directory(found) && !fs::is_symlink(found))
            continue;
        std::fprintf(stderr, "written outside the destination: %s\n", found.c_str());
        __builtin_trap();
    }
    return 0;
}
