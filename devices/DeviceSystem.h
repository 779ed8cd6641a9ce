// The system calls of the discovery stages and the WinUSB handle cache, behind
// one interface: the product binds it to Windows, tests to a simulated device set.
// Each member has the name, arguments and results of the Win32 call it stands for.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <winusb.h>
extern "C" {
#include <hidsdi.h>
}

namespace devices {

class DeviceSystem {
public:
    virtual ~DeviceSystem() = default;

    virtual HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                          DWORD flags) = 0;
    virtual BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                             const GUID* interfaceClass, DWORD memberIndex,
                                             PSP_DEVICE_INTERFACE_DATA interfaceData) = 0;
    virtual BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set,
                                                  PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                  PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
                                                  DWORD detailSize, PDWORD requiredSize,
                                                  PSP_DEVINFO_DATA deviceInfo) = 0;
    virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) = 0;

    virtual HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share,
                               LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                               HANDLE templateFile) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;

    virtual void HidD_GetHidGuid(GUID* hidGuid) = 0;
    virtual BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) = 0;
    virtual BOOLEAN HidD_GetManufacturerString(HANDLE device, PVOID buffer, ULONG length) = 0;
    virtual BOOLEAN HidD_GetProductString(HANDLE device, PVOID buffer, ULONG length) = 0;
    virtual BOOLEAN HidD_GetSerialNumberString(HANDLE device, PVOID buffer, ULONG length) = 0;

    virtual BOOL WinUsb_Initialize(HANDLE device, PWINUSB_INTERFACE_HANDLE interfaceHandle) = 0;
    virtual BOOL WinUsb_GetDescriptor(WINUSB_INTERFACE_HANDLE interfaceHandle, UCHAR type,
                                      UCHAR index, USHORT language, PUCHAR buffer, ULONG length,
                                      PULONG transferred) = 0;
    virtual BOOL WinUsb_Free(WINUSB_INTERFACE_HANDLE interfaceHandle) = 0;

    virtual DWORD GetLastError() = 0;
    // The scan's pause between service attempts.
    virtual void Sleep(DWORD milliseconds) = 0;
};

// The binding in force: Windows itself unless a test installed another.
DeviceSystem& deviceSystem();

// Binds the seam to another implementation for the life of this object.
// Install before any thread uses the seam, and remove after they are done.
class ScopedDeviceSystem {
public:
    explicit ScopedDeviceSystem(DeviceSystem& replacement);
    ~ScopedDeviceSystem();
    ScopedDeviceSystem(const ScopedDeviceSystem&) = delete;
    ScopedDeviceSystem& operator=(const ScopedDeviceSystem&) = delete;

private:
    DeviceSystem* previous_;
};

} // namespace devices
