// Keeps C++ exceptions from crossing the C boundary: every export runs its
// body through Guarded, and anything thrown becomes GenericError.
#pragma once

#include <cstdint>

#include "DrelmTessaryLib.h"

namespace drelm::tsy {

template <typename Body>
int32_t Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return DRELM_TSY_GenericError;
    }
}

}  // namespace drelm::tsy
