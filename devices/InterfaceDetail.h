// Reading the device path out of a SetupAPI interface-detail buffer without
// trusting that the system terminated it.
#pragma once

#include "devices/BoundsCheck.h"

#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <cwchar>
#include <string>

namespace devices {

// Offset of DevicePath inside SP_DEVICE_INTERFACE_DETAIL_DATA_W.
constexpr std::size_t detailPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);

// The path in a detail buffer of bufferBytes bytes, up to its NUL or the buffer's end.
inline std::wstring detailDevicePath(const SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail,
                                     std::size_t bufferBytes)
{
    if (bufferBytes <= detailPathOffset)
        return {};
    const std::size_t maxUnits = (bufferBytes - detailPathOffset) / sizeof(wchar_t);
    QUORVEL_CHECK_BOUNDS(detailPathOffset + maxUnits * sizeof(wchar_t) <= bufferBytes);
    return std::wstring(detail->DevicePath, wcsnlen(detail->DevicePath, maxUnits));
}

} // namespace devices
