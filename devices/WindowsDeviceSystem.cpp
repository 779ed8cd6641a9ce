// The seam bound to the real system calls. hid.dll and winusb.dll are
// delay-loaded from system32: when one cannot be loaded, its calls fail with
// ERROR_MOD_NOT_FOUND, so its stage skips every device and adds no record.
#include "devices/DeviceSystem.h"

#include "common/SystemLibrary.h"

namespace devices {

namespace {

using common::DelayLoaded;

// A call into a DLL that could not be loaded fails as the system's own would.
template <DelayLoaded library>
bool loadedOrFail()
{
    if (common::available<library>())
        return true;
    ::SetLastError(ERROR_MOD_NOT_FOUND);
    return false;
}

// The HID interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}, as HidD_GetHidGuid gives it.
constexpr GUID hidInterfaceClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

class WindowsDeviceSystem final : public DeviceSystem {
public:
    HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                  DWORD flags) override
    {
        return ::SetupDiGetClassDevsW(classGuid, enumerator, parent, flags);
    }
    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                     const GUID* interfaceClass, DWORD memberIndex,
                                     PSP_DEVICE_INTERFACE_DATA interfaceData) override
    {
        return ::SetupDiEnumDeviceInterfaces(set, deviceInfo, interfaceClass, memberIndex,
                                             interfaceData);
    }
    BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
                                          DWORD detailSize, PDWORD requiredSize,
                                          PSP_DEVINFO_DATA deviceInfo) override
    {
        return ::SetupDiGetDeviceInterfaceDetailW(set, interfaceData, detail, detailSize,
                                                  requiredSize, deviceInfo);
    }
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) override
    {
        return ::SetupDiDestroyDeviceInfoList(set);
    }
    HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override
    {
        return ::CreateFileW(path, access, share, security, disposition, flags, templateFile);
    }
    BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }
    void HidD_GetHidGuid(GUID* hidGuid) override
    {
        if (common::available<DelayLoaded::Hid>())
            ::HidD_GetHidGuid(hidGuid);
        else
            *hidGuid = hidInterfaceClass;
    }
    BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) override
    {
        return loadedOrFail<DelayLoaded::Hid>() && ::HidD_GetAttributes(device, attributes);
    }
    BOOLEAN HidD_GetManufacturerString(HANDLE device, PVOID buffer, ULONG length) override
    {
        return loadedOrFail<DelayLoaded::Hid>() && ::HidD_GetManufacturerString(device, buffer, length);
    }
    BOOLEAN HidD_GetProductString(HANDLE device, PVOID buffer, ULONG length) override
    {
        return loadedOrFail<DelayLoaded::Hid>() && ::HidD_GetProductString(device, buffer, length);
    }
    BOOLEAN HidD_GetSerialNumberString(HANDLE device, PVOID buffer, ULONG length) override
    {
        return loadedOrFail<DelayLoaded::Hid>() && ::HidD_GetSerialNumberString(device, buffer, length);
    }
    BOOL WinUsb_Initialize(HANDLE device, PWINUSB_INTERFACE_HANDLE interfaceHandle) override
    {
        return loadedOrFail<DelayLoaded::WinUsb>() && ::WinUsb_Initialize(device, interfaceHandle);
    }
    BOOL WinUsb_GetDescriptor(WINUSB_INTERFACE_HANDLE interfaceHandle, UCHAR type, UCHAR index,
                              USHORT language, PUCHAR buffer, ULONG length,
                              PULONG transferred) override
    {
        return loadedOrFail<DelayLoaded::WinUsb>()
            && ::WinUsb_GetDescriptor(interfaceHandle, type, index, language, buffer, length,
                                      transferred);
    }
    BOOL WinUsb_Free(WINUSB_INTERFACE_HANDLE interfaceHandle) override
    {
        return loadedOrFail<DelayLoaded::WinUsb>() && ::WinUsb_Free(interfaceHandle);
    }
    DWORD GetLastError() override { return ::GetLastError(); }
    void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
};

WindowsDeviceSystem g_windows;
DeviceSystem* g_current = &g_windows;

} // namespace

DeviceSystem& deviceSystem()
{
    return *g_current;
}

ScopedDeviceSystem::ScopedDeviceSystem(DeviceSystem& replacement) : previous_(g_current)
{
    g_current = &replacement;
}

ScopedDeviceSystem::~ScopedDeviceSystem()
{
    g_current = previous_;
}

} // namespace devices
