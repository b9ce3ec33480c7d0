// The kind of a failure, from the system error that caused it.
#pragma once

#include "packwell.h"

#include <cerrno>

namespace packwell {

inline PackwellFailure FailureOfError(int error) {
    switch (error) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return PackwellFailure::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return PackwellFailure::NoPermission;
        default:
            return PackwellFailure::Other;
    }
}

}  // namespace packwell
