#include "delta_note.h"

#include <cinttypes>
#include <cstdio>

namespace ferrylift_pack {
namespace {

constexpr char kFormat[] =
    "ferrylift-pack delta from %63[0-9.]: carried %" SCNu64 " files, %" SCNu64
    " bytes; left alone %" SCNu64 " files, %" SCNu64 " bytes; left over %" SCNu64 " files%n";

}  // namespace

std::string FormatDeltaNote(const DeltaNote& note) {
    return "ferrylift-pack delta from " + note.base + ": carried " +
           std::to_string(note.carriedFiles) + " files, " + std::to_string(note.carriedBytes) +
           " bytes; left alone " + std::to_string(note.unchangedFiles) + " files, " +
           std::to_string(note.unchangedBytes) + " bytes; left over " +
           std::to_string(note.leftovers) + " files";
}

bool ParseDeltaNote(const std::string& comment, DeltaNote* note) {
    char base[64] = {};
    DeltaNote parsed;
    int used = 0;
    if (std::sscanf(comment.c_str(), kFormat, base, &parsed.carriedFiles, &parsed.carriedBytes,
                    &parsed.unchangedFiles, &parsed.unchangedBytes, &parsed.leftovers,
                    &used) != 6 ||
        static_cast<size_t>(used) != comment.size()) {
        return false;
    }
    parsed.base = base;
    *note = parsed;
    return true;
}

std::string DescribeDelta(const DeltaNote& note) {
    std::string text = "delta from " + note.base + ": " + std::to_string(note.carriedFiles) +
                       " files carried (" + std::to_string(note.carriedBytes) + " bytes), " +
                       std::to_string(note.unchangedFiles) + " left alone (" +
                       std::to_string(note.unchangedBytes) + " bytes)";
    if (note.leftovers != 0) {
        text += ", " + std::to_string(note.leftovers) + " of " + note.base +
                "'s files left over in the installation";
    }
    return text;
}

}  // namespace ferrylift_pack
