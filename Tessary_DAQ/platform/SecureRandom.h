// Random bytes from the operating system's source for keys and tokens. One
// implementation file per operating system.
#pragma once

#include <cstddef>

namespace tessary::platform {

// Fills `size` bytes; false when the system's source could not give them
// (the buffer's content is then not to be used).
bool SecureRandomBytes(void* buffer, std::size_t size);

}  // namespace tessary::platform
