// What a process holds, for leak checks. Wine answers GetProcessHandleCount and
// GetGuiResources with 0, so handles are counted by asking about each handle
// value, and windows by enumerating them.
#pragma once

#include <windows.h>

#include <cstdint>

namespace testing_support {

inline DWORD countOpenHandles()
{
    DWORD count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

// The windows a process owns, top-level and child.
inline std::uint32_t countProcessWindows(DWORD processId)
{
    struct Count {
        DWORD processId;
        std::uint32_t windows;
    } count{processId, 0};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* c = reinterpret_cast<Count*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == c->processId) {
                ++c->windows;
                EnumChildWindows(
                    window,
                    [](HWND, LPARAM child) -> BOOL {
                        ++reinterpret_cast<Count*>(child)->windows;
                        return TRUE;
                    },
                    param);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

// Committed private memory of a process, summed over its address space (Wine
// reports no private usage through the process memory counters).
inline SIZE_T privateBytes(HANDLE process = GetCurrentProcess())
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* address = nullptr;
         VirtualQueryEx(process, address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        if (region.RegionSize == 0)
            break;
    }
    return total;
}

} // namespace testing_support
