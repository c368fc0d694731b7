// Whether the tests run under wine, which falls short of Windows in a few
// places: the cases concerned skip there, and only there.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace test_support {

inline bool UnderWine() {
#ifdef _WIN32
    // Its system library exports a function that no Windows has.
    const HMODULE system = GetModuleHandleW(L"ntdll.dll");
    return system != nullptr && GetProcAddress(system, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

}  // namespace test_support
