#include "archive_check.h"

#include "archive_entries.h"
#include "entry_names.h"
#include "package_format/package_trailer.h"
#include "program_check.h"

namespace ferrylift_pack {
namespace {

std::string Shown(const ArchiveEntry& entry) {
    return "entry " + EntryNames::Display(entry.stored, entry.utf8);
}

// The directory's records: the names, and what the installer cannot read.
std::vector<std::string> CheckDirectory(const std::vector<ArchiveEntry>& entries,
                                        size_t maxNameBytes) {
    std::vector<std::string> problems;
    EntryNames names(maxNameBytes);
    for (const ArchiveEntry& entry : entries) {
        names.Add(entry.stored, entry.utf8);
    }
    size_t refused = 0;
    for (const NameProblem& problem : names.Check()) {
        if (problem.entry == kWholeList) {
            problems.push_back("its archive " + problem.message);
        } else if (++refused <= kNamesShown) {
            problems.push_back(problem.message);
        }
    }
    if (refused > kNamesShown) {
        problems.push_back("its archive has " + std::to_string(refused - kNamesShown) +
                           " more refused names");
    }
    for (const ArchiveEntry& entry : entries) {
        if ((entry.flag & 1) != 0) {
            problems.push_back(Shown(entry) + " is encrypted");
        } else if (entry.method != 0 && entry.method != Z_DEFLATED) {
            problems.push_back(Shown(entry) + " is compressed with method " +
                               std::to_string(entry.method) +
                               "; the installer reads stored and deflated entries only");
        } else if (entry.size > package_format::kMaxTotalSize) {
            problems.push_back(Shown(entry) + " is 2 GiB or larger");
        }
    }
    return problems;
}

// The four bytes at offset of the current entry, inflated once more.
bool BytesAt(unzFile zip, const ArchiveEntry& entry, uint64_t offset, uint8_t out[4]) {
    uint64_t position = 0;
    size_t found = 0;
    const std::string reason = InflateEntry(zip, entry, [&](const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size && found < 4; ++i, ++position) {
            if (position >= offset) {
                out[found++] = data[i];
            }
        }
        return found < 4;
    });
    return reason.empty() && found == 4;
}

}  // namespace

std::vector<std::string> CheckArchive(unzFile zip, const ArchiveEnd& end, size_t maxNameBytes,
                                      std::FILE* client, ArchiveFacts* facts) {
    std::vector<ArchiveEntry> entries;
    const std::string damaged = ReadEntries(zip, &entries);
    const std::string counted = "its end record counts " + std::to_string(end.entries) +
                                " entries, but its central directory holds " +
                                std::to_string(entries.size());
    // minizip writes more entries so, and reads them all; the installer stops at the count.
    if (!end.zip64 && end.entries == 0xffff && entries.size() > end.entries) {
        return {counted +
                ": more than 65,535 entries need ZIP64 end records, without which the "
                "installer stops after 65,535"};
    }
    if (!damaged.empty()) {
        return {damaged};
    }
    if (entries.size() != end.entries) {
        return {counted};
    }
    std::vector<std::string> problems = CheckDirectory(entries, maxNameBytes);
    if (!problems.empty()) {
        return problems;
    }
    // The room the files need is known before anything is inflated.
    facts->entries = entries.size();
    for (const ArchiveEntry& entry : entries) {
        facts->unpacked += entry.size;
    }
    int step = unzGoToFirstFile(zip);
    for (const ArchiveEntry& entry : entries) {
        if (step != UNZ_OK) {
            return {Shown(entry) + " cannot be found again in the archive's directory"};
        }
        const bool isClient = entry.stored == kClientProgramName;
        PackageProbe probe(entry.size);
        bool written = true;
        const std::string reason = InflateEntry(zip, entry, [&](const uint8_t* data, size_t size) {
            probe.Feed(data, size);
            if (isClient) {
                written = written && std::fwrite(data, 1, size, client) == size;
            }
            return true;
        });
        if (!reason.empty()) {
            return {Shown(entry) + " " + reason};
        }
        if (!written) {
            return {Shown(entry) + " cannot be written to a scratch file to read its version"};
        }
        std::optional<bool> isPackage = probe.Result();
        uint8_t start[4];
        if (!isPackage) {
            isPackage = BytesAt(zip, entry, probe.ArchiveOffset(), start) &&
                        PackageProbe::StartsArchive(start);
        }
        if (*isPackage) {
            return {Shown(entry) + " is itself an update package"};
        }
        if (isClient) {
            facts->clientSize = entry.size;
        }
        step = unzGoToNextFile(zip);
    }
    return {};
}

}  // namespace ferrylift_pack
