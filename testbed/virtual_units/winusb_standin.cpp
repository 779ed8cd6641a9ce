// A winusb.dll for Wine test prefixes only (Wine's own is stubs that end the
// process): WinUsb_Initialize, WinUsb_GetDescriptor and WinUsb_Free over the
// virtual WinUSB unit's private descriptor request. A test selects it for the
// product with the DLL override winusb=n; it is never installed beside the
// product or shipped.
#include <windows.h>
#include <winioctl.h>

#include "WinUsbUnitProtocol.h"

namespace {

struct Interface {
    HANDLE file;
};

} // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI WinUsb_Initialize(HANDLE file, void** interfaceHandle)
{
    if (file == INVALID_HANDLE_VALUE || !file || !interfaceHandle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *interfaceHandle = new Interface{file};
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI WinUsb_GetDescriptor(void* interfaceHandle, UCHAR type, UCHAR index,
                                                      USHORT language, PUCHAR buffer, ULONG length,
                                                      PULONG transferred)
{
    if (!interfaceHandle || !buffer || !transferred) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The unit's file is opened for overlapped I/O, so the request is too.
    const UNIT_DESCRIPTOR_REQUEST request = {type, index, language};
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD received = 0;
    HANDLE file = static_cast<Interface*>(interfaceHandle)->file;
    BOOL ok = DeviceIoControl(file, IOCTL_UNIT_GET_DESCRIPTOR, const_cast<UNIT_DESCRIPTOR_REQUEST*>(&request),
                              sizeof request, buffer, length, &received, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(file, &overlapped, &received, TRUE);
    const DWORD error = GetLastError();
    CloseHandle(overlapped.hEvent);
    *transferred = ok ? received : 0;
    SetLastError(error);
    return ok;
}

__declspec(dllexport) BOOL WINAPI WinUsb_Free(void* interfaceHandle)
{
    delete static_cast<Interface*>(interfaceHandle);
    return TRUE;
}

} // extern "C"
