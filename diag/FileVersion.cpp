#include "diag/FileVersion.h"

#include "common/SystemLibrary.h"

#include <windows.h>

#include <vector>

namespace diag {

namespace {
constexpr DWORD maxVersionBlock = 0x100000;  // 1 MiB; anything larger is not trusted
}

FileVersion readFileVersion(const wchar_t* path)
{
    FileVersion version = {0, 0, 0, 0};
    // version.dll is delay-loaded from system32; without it there is no version to read.
    if (!path || !*path || !common::available<common::DelayLoaded::Version>())
        return version;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0 || size > maxVersionBlock)
        return version;
    std::vector<unsigned char> block(size, 0);
    if (!GetFileVersionInfoW(path, 0, size, block.data()))
        return version;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", &value, &length) || !value
        || length != sizeof(VS_FIXEDFILEINFO))
        return version;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    version = {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
               HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
    return version;
}

} // namespace diag
