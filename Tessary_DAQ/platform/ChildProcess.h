// A child process fed through a pipe to its standard input. One
// implementation file per operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessary::platform {

// Longest time a write waits for a child that does not read, and a close
// for a child that does not end, in milliseconds.
inline constexpr int kChildWriteTimeoutMs = 2000;
inline constexpr int kChildCloseTimeoutMs = 5000;

// One child at a time. The child is started straight from its path, with
// no shell in between, so blanks or shell characters in the path are just
// characters. It gets the program's environment, standard output and
// standard error, SIGPIPE at its default action, none of the program's
// other open files, and a process group of its own, so that a Ctrl-C at the
// terminal reaches the program alone, which then closes the pipe.
//
// On Windows a path whose last part has no extension gets ".exe", as the
// command prompt adds it; the child gets a console process group of its own
// and a job that holds it and what it starts, ended together by Close.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Close(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program at `path` (relative paths are taken from the
    // working directory), its only argument its own path. A child already
    // running is closed first. 0, or the errno value that tells why it
    // could not start: ENOENT for a missing file, EACCES for one that is
    // not an executable regular file, or what the exec itself failed with.
    int Start(const std::string& path);

    // True from a successful Start until Close.
    bool IsOpen() const { return fd_ >= 0; }

    // Writes all `size` bytes. 0, or an errno value: EPIPE when the child
    // no longer reads (it has ended; the process gets no SIGPIPE for it),
    // ETIMEDOUT when it took nothing for kChildWriteTimeoutMs, EBADF when
    // no child is open. After a failure the bytes may be partly written;
    // the caller closes the child.
    int Write(const char* data, std::size_t size);

    // Closes the pipe, so that the child sees the end of its input, and
    // waits for it to end. A child still running after `waitMs` is ended
    // with SIGTERM (with SIGKILL a second later), together with the
    // processes it started. Nothing when no child is open.
    void Close(int waitMs = kChildCloseTimeoutMs);

private:
    int fd_ = -1;
    int pid_ = -1;
    // Windows: the child's process and job handles; unused elsewhere.
    std::intptr_t process_ = 0;
    std::intptr_t job_ = 0;
};

}  // namespace tessary::platform
