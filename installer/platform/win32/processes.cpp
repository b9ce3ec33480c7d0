#include "platform/processes.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

namespace platform {

bool ForEachProcess(const ProcessVisitor& visit) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    const bool readable = Process32FirstW(snapshot, &entry) != FALSE;
    if (readable) {
        do {
            const std::u16string name(reinterpret_cast<const char16_t*>(entry.szExeFile));
            if (!visit(name, entry.th32ProcessID)) {
                break;
            }
        } while (Process32NextW(snapshot, &entry) != FALSE);
    }
    CloseHandle(snapshot);
    return readable;
}

}  // namespace platform
