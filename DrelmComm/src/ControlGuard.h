// The control interface's functions let no exception out (an allocation
// that fails, say): a caller gets the function's failure answer instead.
#pragma once

#include <utility>

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

}  // namespace drelm::emu
