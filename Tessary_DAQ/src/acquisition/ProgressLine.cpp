#include "ProgressLine.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>

namespace {

// Cursor up n lines; erase from the cursor to the end of the screen.
std::string Up(int n) { return n > 0 ? "\033[" + std::to_string(n) + "A" : std::string(); }
constexpr const char* kEraseBelow = "\033[J";

}  // namespace

ProgressLine::ProgressLine(int boards, int fd) : texts_(static_cast<size_t>(boards > 0 ? boards : 0)) {
    if (::isatty(fd) == 1) fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

ProgressLine::~ProgressLine() {
    Clear();
    if (fd_ >= 0) ::close(fd_);
}

void ProgressLine::Update(int board, const std::string& text) {
    if (fd_ < 0 || board < 0 || static_cast<size_t>(board) >= texts_.size()) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (texts_[static_cast<size_t>(board)] == text) return;
    texts_[static_cast<size_t>(board)] = text;
    Redraw();
}

void ProgressLine::Clear() {
    if (fd_ < 0) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    for (std::string& text : texts_) text.clear();
    if (shown_ > 0) Redraw();
}

void ProgressLine::Redraw() {
    // A line longer than the terminal would wrap, and moving back up over
    // the lines would then miss some: cut each to the width.
    size_t width = 79;
    if (winsize size{}; ::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) width = size.ws_col - 1u;
    // Back to where the first line began, erase from there down, draw.
    std::string out = "\r" + Up(shown_ - 1) + kEraseBelow;
    int lines = 0;
    for (const std::string& text : texts_) {
        if (text.empty()) continue;
        if (lines++ > 0) out += '\n';
        out.append(text, 0, std::min(text.size(), width));
    }
    shown_ = lines;
    Write(out);
}

void ProgressLine::Write(const std::string& bytes) const {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a terminal that is gone takes no progress
        done += static_cast<size_t>(n);
    }
}
