// GUIDs.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};
};

// CoCreateGuid; POSIX: a random version-4 GUID.
Guid NewGuid();

// StringFromCLSID: the registry form, 38 characters with braces and upper-case hex digits,
// for example {6B29FC40-CA47-1067-B31D-00DD010662DA}.
std::u16string GuidToRegistryString(const Guid& guid);

}  // namespace platform
