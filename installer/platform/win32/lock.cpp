#include <windows.h>

#include <new>

#include "platform/lock.h"

namespace platform {
namespace {
static_assert(sizeof(CRITICAL_SECTION) <= 64, "RecursiveLock storage too small");

CRITICAL_SECTION* Section(unsigned char* storage) {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}
}  // namespace

RecursiveLock::RecursiveLock() {
    ::InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}

RecursiveLock::~RecursiveLock() {
    ::DeleteCriticalSection(Section(storage_));
}

void RecursiveLock::Enter() {
    ::EnterCriticalSection(Section(storage_));
}

void RecursiveLock::Leave() {
    ::LeaveCriticalSection(Section(storage_));
}

}  // namespace platform
