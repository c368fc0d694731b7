// Random bytes on Windows: the system's preferred generator through
// BCryptGenRandom (bcrypt library).

#include "SecureRandom.h"

#include "WindowsNames.h"

#include <bcrypt.h>

namespace tessary::platform {

bool SecureRandomBytes(void* buffer, std::size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    // The length is a ULONG: large requests go in parts.
    constexpr std::size_t kMaxPart = 1u << 30;
    while (size > 0) {
        const std::size_t part = size < kMaxPart ? size : kMaxPart;
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out, static_cast<ULONG>(part), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        out += part;
        size -= part;
    }
    return true;
}

}  // namespace tessary::platform

