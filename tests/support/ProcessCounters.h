// What a process holds, for leak checks. Wine answers GetProcessHandleCount and
// GetGuiResources with 0, so handles are counted by asking about each handle
// value, and windows by enumerating them.
#pragma once

#include <windows.h>

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

inline int countThreadWindows()
{
    int count = 0;
    auto countChildren = [](HWND, LPARAM counter) -> BOOL {
        ++*reinterpret_cast<int*>(counter);
        return TRUE;
    };
    struct Context {
        int* count;
        WNDENUMPROC children;
    } context{&count, countChildren};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* c = reinterpret_cast<Context*>(param);
            ++*c->count;
            EnumChildWindows(window, c->children, reinterpret_cast<LPARAM>(c->count));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&context));
    return count;
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
