// A re-entrant lock: a critical section on Windows, a recursive pthread mutex on POSIX.
#pragma once

#include <cstddef>

namespace platform {

class RecursiveLock {
public:
    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    // The owning thread may enter again; each Enter needs one Leave.
    void Enter();
    void Leave();

private:
    // Room for a CRITICAL_SECTION or pthread_mutex_t; the backends check that it fits.
    alignas(8) unsigned char storage_[64];
};

// Holds the lock for one scope.
class LockGuard {
public:
    explicit LockGuard(RecursiveLock& lock) : lock_(lock) { lock_.Enter(); }
    ~LockGuard() { lock_.Leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    RecursiveLock& lock_;
};

}  // namespace platform
