#include "diag/ModulePaths.h"

#include <windows.h>

#include <cwchar>
#include <mutex>

namespace diag {

namespace {
wchar_t g_fullPath[MAX_PATH];
wchar_t g_fileName[MAX_PATH];
std::once_flag g_computed;
}

void ModulePaths::compute()
{
    std::call_once(g_computed, [] {
        wchar_t buffer[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(GetModuleHandleW(nullptr), buffer, MAX_PATH);
        // A path cut at MAX_PATH is not a path: treat it as unknown.
        if (length == 0 || length >= MAX_PATH)
            return;
        const wchar_t* lastSlash = std::wcsrchr(buffer, L'\\');
        const wchar_t* name = lastSlash ? lastSlash + 1 : buffer;
        wcsncpy_s(g_fullPath, MAX_PATH, buffer, _TRUNCATE);
        wcsncpy_s(g_fileName, MAX_PATH, name, _TRUNCATE);
    });
}

const wchar_t* ModulePaths::fullPath()
{
    compute();
    return g_fullPath;
}

const wchar_t* ModulePaths::fileName()
{
    compute();
    return g_fileName;
}

} // namespace diag
