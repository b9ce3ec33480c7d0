#include "entry_writer.h"

#include "failure_kinds.h"
#include "platform/file_access.h"
#include "store_paths.h"
#include "utf8_path.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const std::ptrdiff_t written = platform::WriteSome(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Copies the entry into fd; at most declaredSize bytes.
PackwellFailure Copy(zip_file_t* entry, int fd, uint64_t declaredSize, std::string& error,
                     int& systemError) {
    char buffer[65536];
    uint64_t written = 0;
    for (;;) {
        // One byte more than declared is asked for, to see a lie.
        const uint64_t room = declaredSize - written + 1;
        const zip_int64_t got = zip_fread(
            entry, buffer, static_cast<zip_uint64_t>(std::min<uint64_t>(sizeof buffer, room)));
        if (got < 0) {
            error = std::string("zip_fread failed: ") + zip_file_strerror(entry);
            return PackwellFailure::Other;
        }
        if (got == 0)
            return PackwellFailure::None;
        written += static_cast<uint64_t>(got);
        if (written > declaredSize) {
            error = "the entry holds more than the " + std::to_string(declaredSize) +
                    " bytes it declares";
            return PackwellFailure::TooLarge;
        }
        if (!WriteAll(fd, buffer, static_cast<size_t>(got))) {
            systemError = errno;
            error = std::string("cannot write: ") + std::strerror(systemError);
            return FailureOfError(systemError);
        }
    }
}

}  // namespace

PackwellFailure WriteEntryFile(zip_t* archive, zip_uint64_t index, uint64_t declaredSize,
                               const fs::path& target, std::string& error, int& systemError) {
    systemError = 0;
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> entry(zip_fopen_index(archive, index, 0),
                                                            zip_fclose);
    if (!entry) {
        error = std::string("zip_fopen_index failed: ") + zip_strerror(archive);
        return PackwellFailure::Other;
    }
    fs::path temporary;
    const int fd = CreateUniqueSibling(target, temporary);
    if (fd < 0) {
        systemError = errno;
        error = "cannot write beside " + Utf8Of(target) + ": " + std::strerror(systemError);
        return FailureOfError(systemError);
    }
    PackwellFailure failure = Copy(entry.get(), fd, declaredSize, error, systemError);
    if (platform::CloseFile(fd) != 0 && failure == PackwellFailure::None) {
        systemError = errno;
        error = "cannot write " + Utf8Of(temporary) + ": " + std::strerror(systemError);
        failure = FailureOfError(systemError);
    }
    std::error_code code;
    if (failure == PackwellFailure::None) {
        fs::rename(temporary, target, code);
        if (code) {
            systemError = code.value();
            error = "cannot replace " + Utf8Of(target) + ": " + code.message();
            failure = FailureOfError(systemError);
        }
    }
    if (failure != PackwellFailure::None)
        fs::remove(temporary, code);
    return failure;
}

}  // namespace packwell
