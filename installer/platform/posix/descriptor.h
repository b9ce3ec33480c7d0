// File handles and descriptors on POSIX, for backend code that opens files itself.
#pragma once

#include "platform/file.h"

namespace platform {

// The handle of an open descriptor, which it then owns (CloseFile closes it).
FileHandle FileFromDescriptor(int fd);

}  // namespace platform
