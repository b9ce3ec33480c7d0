#include "sequence/process_lookup.h"

#include "platform/processes.h"
#include "support/file_helpers.h"

uint32_t GetProcessIdFromName(const std::string& name) {
    const std::u16string wanted = AnsiToWide(name);
    if (wanted.empty()) {
        return 0;
    }
    uint32_t found = 0;
    platform::ForEachProcess([&](const std::u16string& exeName, uint32_t pid) {
        if (exeName == wanted) {
            found = pid;
            return false;
        }
        return true;
    });
    return found;
}
