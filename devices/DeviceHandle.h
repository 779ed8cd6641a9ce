// Owners of what the discovery stages open through the device seam: device files
// and device-information sets, closed through the seam as well.
#pragma once

#include "common/UniqueHandle.h"
#include "devices/DeviceSystem.h"

namespace devices {

inline void closeDeviceFile(HANDLE handle) noexcept
{
    deviceSystem().CloseHandle(handle);
}

inline void destroyDeviceInfoSet(HDEVINFO set) noexcept
{
    deviceSystem().SetupDiDestroyDeviceInfoList(set);
}

using DeviceHandle = common::UniqueHandle<common::InvalidIsNone<HANDLE, closeDeviceFile>>;
using DeviceInfoSet = common::UniqueHandle<common::InvalidIsNone<HDEVINFO, destroyDeviceInfoSet>>;

} // namespace devices
