// Owners of what the discovery stages open through the device seam: device files,
// WinUSB interfaces and device-information sets, closed through the seam as well.
#pragma once

#include "common/UniqueHandle.h"
#include "devices/DeviceSystem.h"

namespace devices {

inline void closeDeviceFile(HANDLE handle) noexcept
{
    deviceSystem().CloseHandle(handle);
}

inline void freeWinUsbInterface(WINUSB_INTERFACE_HANDLE interfaceHandle) noexcept
{
    deviceSystem().WinUsb_Free(interfaceHandle);
}

inline void destroyDeviceInfoSet(HDEVINFO set) noexcept
{
    deviceSystem().SetupDiDestroyDeviceInfoList(set);
}

using DeviceHandle = common::UniqueHandle<common::InvalidIsNone<HANDLE, closeDeviceFile>>;
using WinUsbInterface = common::UniqueHandle<common::NullIsNone<WINUSB_INTERFACE_HANDLE, freeWinUsbInterface>>;
using DeviceInfoSet = common::UniqueHandle<common::InvalidIsNone<HDEVINFO, destroyDeviceInfoSet>>;

} // namespace devices
