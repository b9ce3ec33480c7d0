// Arbitrary bytes as a track package, unpacked into a scratch store: nothing
// may appear beside the store or outside the package's track folder, every
// name unpacked is UTF-8 whatever encoding the package used, and whatever
// unpacked must pack and unpack again to the same files.
#include <entry_names.h>
#include <packwell.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path scratch;

void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "fuzz_unzip: %s\n", what);
        abort();
    }
}

// Every path below folder (symbolic links not followed).
std::set<std::string> listing(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        names.insert(it->path().lexically_relative(folder).generic_string());
    return names;
}

std::map<std::string, std::string> contents(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error))
            continue;
        std::ifstream in(it->path(), std::ios::binary);
        files[it->path().lexically_relative(folder).generic_string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Many small files are made and removed per input; in memory that is cheaper.
    std::error_code error;
    const fs::path memory = "/dev/shm";
    const fs::path base = fs::is_directory(memory, error) ? memory : fs::temp_directory_path();
    std::string pattern = (base / "fuzz_unzip.XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    check(made != nullptr, "mkdtemp");
    scratch = made;
    std::atexit([] {
        std::error_code error;
        fs::remove_all(scratch, error);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path sandbox = scratch / "sandbox";
    const fs::path store = sandbox / "store";
    const fs::path package = scratch / "package.zip";
    std::error_code error;
    fs::remove_all(sandbox, error);
    fs::create_directories(store, error);
    {
        std::ofstream out(package, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::set<std::string> scratchBefore = listing(scratch);

    Packwell packwell;
    std::string flag;
    packwell.GetFlagFilePathFromZipPackage(flag, "tracks.xml", package.string(), "");
    const bool unpacked =
        packwell.UnZipFile(package.string(), store.string() + "/", "", "", "", false);

    // Outside the store nothing changes: the sandbox holds only the store, and
    // the scratch folder only what was there (the store's own content aside).
    std::set<std::string> scratchAfter;
    for (const std::string& name : listing(scratch)) {
        if (name.rfind("sandbox/store/", 0) != 0)
            scratchAfter.insert(name);
    }
    check(scratchAfter == scratchBefore, "a file appeared outside the store");
    check(packwell::IsValidUtf8(flag), "the flag path is not UTF-8");
    if (!unpacked)
        return 0;
    // The track folder is the flag path's folder; only it and the folders
    // above it appear in the store.
    const std::string folder = flag.substr(0, flag.find_last_of('/'));
    for (const std::string& name : listing(store)) {
        check(packwell::IsValidUtf8(name), "an unpacked name is not UTF-8");
        const bool above = folder.compare(0, name.size() + 1, name + "/") == 0;
        const bool inside = name == folder || name.rfind(folder + "/", 0) == 0;
        check(above || inside, "an entry landed outside the track folder");
    }

    // What unpacked packs again (updating the package in place) and unpacks to
    // the same files.
    const std::map<std::string, std::string> files = contents(store);
    std::vector<std::string> paths;
    for (const auto& file : files)
        paths.push_back((store / file.first).string());
    if (paths.empty())
        return 0;
    if (!packwell.ZipFiles(paths, {}, package.string(), store.string() + "/", "", "", ""))
        return 0;  // a file name libzip will not take, for example
    const fs::path again = sandbox / "again";
    fs::create_directories(again, error);
    check(packwell.UnZipFile(package.string(), again.string() + "/", "", "", "", false),
          "a package written by ZipFiles does not unpack");
    check(contents(again) == files, "repacked files differ");
    return 0;
}
