// GUIDs as text. Kept apart from the file helpers so that the log, which names its file with a
// GUID, needs nothing that logs: the file helpers log, the log does not use them.
#pragma once

#include <string>

#include "platform/guid.h"

// The GUID's registry form ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, 38 chars) as ANSI text.
std::string GuidToString(const platform::Guid& guid);
// GuidToString of a new GUID.
std::string NewGuidString();
