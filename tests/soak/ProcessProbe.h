// What another process holds, read from outside: handles (from the system's
// handle table), windows, committed private memory, GDI and USER objects.
#pragma once

#include <windows.h>

#include <cstdint>

namespace soak {

struct ProcessSample {
    std::uint32_t handles = 0;
    std::uint32_t windows = 0;
    std::uint64_t privateBytes = 0;
    std::uint32_t gdiObjects = 0;   // Wine always reports 0
    std::uint32_t userObjects = 0;  // Wine always reports 0
};

ProcessSample sampleProcess(HANDLE process, DWORD processId);

} // namespace soak
