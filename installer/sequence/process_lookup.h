// Whether the client program is running.
#pragma once

#include <cstdint>
#include <string>

// The id of the first running process whose executable file name equals name exactly (letter
// case significant); 0 when none runs or the process list cannot be read.
uint32_t GetProcessIdFromName(const std::string& name);
