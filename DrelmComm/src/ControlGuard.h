// The control interface's functions let no exception out (an allocation
// that fails, say): a caller gets the function's failure answer instead.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "Board.h"
#include "BoardRegistry.h"

namespace drelm::emu {

template <typename Result, typename Body>
Result ControlGuarded(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

template <typename Body>
void ControlGuarded(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

// Runs body on the board behind an open link, under the board's lock.
// `board` is declared before `hold`: the lock is released before the board
// can go. False (never an exception) when the link is not open or it fails.
template <typename Body>
bool WithOpenBoard(int32_t linkHandle, Body body) {
    return ControlGuarded(false, [&] {
        std::shared_ptr<Board> board = BoardRegistry::Instance().Find(linkHandle);
        if (!board) return false;
        std::lock_guard<std::mutex> hold(board->Mutex());
        if (board->linkHandle != linkHandle) return false;
        return body(*board);
    });
}

}  // namespace drelm::emu
