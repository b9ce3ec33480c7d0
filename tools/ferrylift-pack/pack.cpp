#include "pack.h"

#include <sys/stat.h>

#include <filesystem>

#include "archive_write.h"
#include "delta.h"
#include "entry_names.h"
#include "files.h"
#include "package_format/package_trailer.h"
#include "package_parts.h"
#include "scratch_files.h"
#include "suite.h"
#include "support/file_version_info.h"
#include "version_stamp.h"

namespace fs = std::filesystem;

namespace ferrylift_pack {
namespace {

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// What goes into the archive and the versions it is stamped with.
struct PackContents {
    std::vector<SuiteFile> files;
    std::string carried;
    std::string lowest;
    std::string comment;                 // a delta's note; empty for a full package
    std::vector<std::string> leftovers;  // a delta's files of the base the suite lacks
};

// The carried version: the suite client's, read as the installer reads versions.
int ReadCarried(const PackOptions& options, std::string* carried, std::ostream& err) {
    const fs::path client = fs::path(options.suite) / kClientProgramName;
    FileVersions clientVersions;
    uint16_t fields[4];
    if (!ReadFileVersions(client, &clientVersions)) {
        err << "ferrylift-pack: " << client.string()
            << ": has no version resource with a ProductVersion\n";
        return kExitFailed;
    }
    *carried = clientVersions.productVersion;
    if (!ParseVersionText(*carried, fields)) {
        err << "ferrylift-pack: " << client.string() << ": its ProductVersion " << *carried
            << " is not a version of one to four numbers of 0 to 65535\n";
        return kExitFailed;
    }
    return kExitOk;
}

// A delta: the files that differ from the base release, and the base as the lowest version.
int ChooseDelta(const PackOptions& options, PackContents* contents, std::ostream& err) {
    BaseRelease base;
    if (!base.Read(options.since, err)) {
        return kExitFailed;
    }
    auto refuse = [&](const std::string& reason) {
        err << "ferrylift-pack: --since " << options.since << ": " << reason << "\n";
        return kExitFailed;
    };
    if (CompareVersion(Wide(base.version()), Wide(contents->carried)) >= 0) {
        return refuse("its version " + base.version() + " is not older than the suite's " +
                      contents->carried);
    }
    if (contents->lowest.empty()) {
        contents->lowest = base.version();
    } else if (CompareVersion(Wide(contents->lowest), Wide(base.version())) < 0) {
        return refuse("--lowest " + contents->lowest + " is older than " + base.version() +
                      ": a delta cannot update clients older than the release it is made from");
    }
    DeltaPlan plan = PlanDelta(base, contents->files);
    if (!plan.leftovers.empty() && !options.allowLeftovers) {
        for (const std::string& name : plan.leftovers) {
            err << "ferrylift-pack: --since " << options.since << ": " << name
                << " is not in the suite; the installer does not remove files\n";
        }
        return refuse(std::to_string(plan.leftovers.size()) +
                      " files of the earlier release would stay installed; give "
                      "--allow-leftovers to make the delta all the same");
    }
    contents->files = std::move(plan.carried);
    contents->comment = FormatDeltaNote(plan.note);
    contents->leftovers = std::move(plan.leftovers);
    return kExitOk;
}

int ChooseContents(const PackOptions& options, PackContents* contents, std::ostream& err) {
    uint16_t fields[4];
    if (!options.lowest.empty() && !ParseVersionText(options.lowest, fields)) {
        err << "ferrylift-pack: --lowest " << options.lowest
            << " is not a version of one to four numbers of 0 to 65535\n";
        return kExitUsage;
    }
    if (!ListSuite(options.suite, &contents->files, err) ||
        !CheckSuite(options.suite, contents->files, options.check.maxNameBytes, err)) {
        return kExitFailed;
    }
    int result = ReadCarried(options, &contents->carried, err);
    contents->lowest = options.lowest;
    if (result == kExitOk && !options.since.empty()) {
        result = ChooseDelta(options, contents, err);
    }
    if (result == kExitOk && CompareVersion(Wide(contents->lowest), Wide(contents->carried)) > 0) {
        err << "ferrylift-pack: --lowest " << contents->lowest << " is newer than the version "
            << contents->carried << " of "
            << (fs::path(options.suite) / kClientProgramName).string() << "\n";
        result = kExitFailed;
    }
    return result;
}

}  // namespace

int Pack(const PackOptions& options, std::ostream& out, std::ostream& err) {
    PackContents contents;
    const int chosen = ChooseContents(options, &contents, err);
    if (chosen != kExitOk) {
        return chosen;
    }
    const fs::path output = options.output;
    std::string error;
    ScratchFile archive;
    if (!archive.Create(output, &error)) {
        err << "ferrylift-pack: " << error << "\n";
        return kExitFailed;
    }
    if (!WriteArchive(archive, contents.files, contents.comment, err)) {
        return kExitFailed;
    }
    const uint64_t archiveSize = archive.Size();
    std::vector<uint8_t> program;
    if (!PrepareInstaller(options, contents.carried, contents.lowest, archiveSize, &program, err)) {
        return kExitFailed;
    }
    const uint32_t padding = package_format::AlignmentPadding(program.size(), archiveSize);
    const uint64_t total = program.size() + padding + archiveSize + package_format::kTrailerSize;
    if (total > package_format::kMaxTotalSize) {
        err << "ferrylift-pack: " << output.string() << ": the package would be " << total
            << " bytes; the format holds at most " << package_format::kMaxTotalSize << "\n";
        return kExitFailed;
    }
    ScratchFile package;
    if (!package.Create(output, &error)) {
        err << "ferrylift-pack: " << error << "\n";
        return kExitFailed;
    }
    if (!WritePackage(package, program, archive, padding, err)) {
        return kExitFailed;
    }
    std::vector<uint8_t>().swap(program);
    archive.Remove();

    ScratchFolder signingFolder;
    ScratchFile signedPackage;
    ScratchFile* finished = &package;
    if (!options.certificate.empty()) {
        if (!SignInto(package, options, &signingFolder, &signedPackage, err)) {
            return kExitFailed;
        }
        package.Remove();
        finished = &signedPackage;
    }
    // The finished file passes the same checks as --verify before it takes the output's name.
    PackageSummary summary;
    if (!CheckPackage(finished->AccessPath(), output.string(), options.check, &summary, err)) {
        return kExitFailed;
    }
    struct stat installer {};
    if (::stat(options.installer.c_str(), &installer) == 0) {
        ::fchmod(finished->fd(), installer.st_mode & 0777);
    }
    if (!finished->MoveTo(output, &error)) {
        err << "ferrylift-pack: " << error << "\n";
        return kExitFailed;
    }
    PrintSummary(output.string(), summary, out);
    for (const std::string& name : contents.leftovers) {
        out << "  left over:        " << name << "\n";
    }
    return kExitOk;
}

int Verify(const std::string& package, const CheckOptions& options, std::ostream& out,
           std::ostream& err) {
    PackageSummary summary;
    if (!CheckPackage(package, package, options, &summary, err)) {
        return kExitFailed;
    }
    PrintSummary(package, summary, out);
    return kExitOk;
}

}  // namespace ferrylift_pack
