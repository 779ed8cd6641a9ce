// The DLLs that are not Windows KnownDLLs (hid, winusb, version, uxtheme,
// oleacc) come from system32 only, so that a copy planted beside the executable,
// in a Downloads folder say, never runs. The product links them delay-loaded;
// a caller asks here first and calls into the DLL only when it is available.
#pragma once

#include <windows.h>

namespace common {

// Every later run-time load, delay loads included, searches system32 alone.
// The entry calls it before anything else.
inline void restrictDllSearchToSystem32() noexcept
{
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The module from system32, or null when it cannot be loaded there. It stays
// loaded for the life of the process, so a delay load of the same name finds it.
inline HMODULE loadSystemLibrary(const wchar_t* fileName) noexcept
{
    return LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

enum class DelayLoaded { Hid, WinUsb, Version, UxTheme, OleAcc };

constexpr const wchar_t* fileNameOf(DelayLoaded library) noexcept
{
    switch (library) {
    case DelayLoaded::Hid: return L"hid.dll";
    case DelayLoaded::WinUsb: return L"winusb.dll";
    case DelayLoaded::Version: return L"version.dll";
    case DelayLoaded::UxTheme: return L"uxtheme.dll";
    case DelayLoaded::OleAcc: return L"oleacc.dll";
    }
    return L"";
}

// True when the delay-loaded DLL could be loaded from system32; tried once each.
template <DelayLoaded library>
bool available() noexcept
{
    static const bool loaded = loadSystemLibrary(fileNameOf(library)) != nullptr;
    return loaded;
}

} // namespace common
