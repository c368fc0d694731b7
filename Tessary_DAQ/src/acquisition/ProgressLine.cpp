#include "ProgressLine.h"

#include <algorithm>

namespace {

// Cursor up n lines; erase from the cursor to the end of the screen.
std::string Up(int n) { return n > 0 ? "\033[" + std::to_string(n) + "A" : std::string(); }
constexpr const char* kEraseBelow = "\033[J";

}  // namespace

ProgressLine::ProgressLine(int boards, int fd) : texts_(static_cast<size_t>(boards > 0 ? boards : 0)) {
    if (tessary::platform::IsTerminal(fd)) fd_ = tessary::platform::DuplicateTerminal(fd);
}

ProgressLine::~ProgressLine() {
    Clear();
    if (fd_ >= 0) tessary::platform::CloseTerminal(fd_);
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
    if (const int columns = tessary::platform::TerminalWidth(fd_); columns > 1) width = static_cast<size_t>(columns) - 1u;
    // Back to where the first line began, erase from there down, draw.
    std::string out = "\r";
    out += Up(shown_ - 1);
    out += kEraseBelow;
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
    // A terminal that is gone takes no progress: nothing to report.
    tessary::platform::WriteTerminal(fd_, bytes.data(), bytes.size());
}
