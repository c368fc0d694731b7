// A status line per board on the terminal, rewritten in place while long
// board work runs ("Board 0: loading calibration  37%"). Lines show in board
// order below whatever was printed before; Clear() erases them all.
//
// Only a terminal sees anything: when the output is not a terminal (a pipe,
// a file) every call does nothing, so logs and scripts get no progress
// clutter. The output is duplicated when the object is made, so lines keep
// reaching the terminal while the caller redirects its standard output.
//
// Update and Clear may be called from any thread (one thread per board).
// Whoever prints other text to the same terminal clears the lines first.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "Terminal.h"

class ProgressLine {
public:
    // Lines for boards 0 to boards - 1, on the terminal at fd.
    explicit ProgressLine(int boards, int fd = tessary::platform::kStandardOutputFd);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // True when the output is a terminal and lines are shown.
    bool Active() const { return fd_ >= 0; }

    // Sets the board's line (one line, cut to the terminal's width); an
    // empty text removes it. Boards outside the range are ignored.
    void Update(int board, const std::string& text);

    // Erases every line and forgets their texts; the cursor is left where
    // the first line began.
    void Clear();

private:
    void Redraw();                  // with mutex_ held
    void Write(const std::string& bytes) const;

    std::mutex mutex_;
    int fd_ = -1;
    std::vector<std::string> texts_;
    int shown_ = 0;  // lines on the screen; the cursor is on the last
};
