#include <cerrno>

#include "platform/error.h"

namespace platform {

uint32_t ErrorFromErrno(int errnoValue) {
    switch (errnoValue) {
        case 0:
            return kErrorSuccess;
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case EMFILE:
        case ENFILE:
            return kErrorTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case ELOOP:  // a symbolic link where none is followed
            return kErrorAccessDenied;
        case EBADF:
            return kErrorInvalidHandle;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case EROFS:
            return kErrorWriteProtect;
#if defined(ETXTBSY)
        case ETXTBSY:
#endif
        case EBUSY:
            return kErrorSharingViolation;
#if defined(EWOULDBLOCK) && EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EAGAIN:
            return kErrorLockViolation;
        case ENOSPC:
#if defined(EDQUOT)
        case EDQUOT:
#endif
            return kErrorDiskFull;
        case EEXIST:
            return kErrorAlreadyExists;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case ENAMETOOLONG:
            return kErrorFilenameExcedRange;
        case EILSEQ:
            return kErrorInvalidName;
        case ENOSYS:
#if defined(ENOTSUP)
        case ENOTSUP:
#endif
            return kErrorNotSupported;
        default:
            return kErrorInvalidParameter;
    }
}

}  // namespace platform
