// An advisory lock on a file, held by this process until it is released or
// the process ends (the system releases it then, also after a crash), so
// that two programs never write the same outputs. One implementation file
// per operating system.
#pragma once

#include <string>

namespace tessary::platform {

// This process's id.
long ProcessId();

class FileLock {
public:
    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    enum class Outcome {
        Taken,  // held by this process, the lock file holding its process id
        Busy,   // held by another process: OwnerPid() names it where the file does
        Failed  // the lock file could not be opened or locked: Error() says why
    };
    // Opens the lock file (creating it when it does not exist, never
    // truncating it before the lock is taken) and takes the lock without
    // waiting. A lock already held by this object is released first.
    Outcome Take(const std::string& path);
    // Empties the lock file and releases the lock; the file stays, since
    // removing it could let two programs lock two different files of the
    // same name. Safe to call when nothing is held.
    void Release();

    bool Held() const { return fd_ >= 0; }
    long OwnerPid() const { return owner_; }  // after Busy; 0 when unknown
    int Error() const { return error_; }      // errno, after Failed

private:
    int fd_ = -1;
    long owner_ = 0;
    int error_ = 0;
};

}  // namespace tessary::platform
