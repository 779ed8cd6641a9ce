// A simulated device set behind the device seam: SetupAPI, device files, HID and
// WinUSB answer as Windows documents them, every call is recorded, and handles,
// sets and WinUSB interfaces are tracked so tests can see what was left open.
#pragma once

#include "devices/DeviceSystem.h"
#include "devices/WinUsbIds.h"
#include "support/Files.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The HID interface class GUID as Windows defines it.
inline constexpr GUID hidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

struct HidString {
    enum Mode { Value, Fail, FillWithoutNul };
    Mode mode = Value;
    std::wstring value;
    bool terminated = true;  // false: the driver writes the text but no NUL after it

    static HidString of(const std::wstring& text) { return {Value, text}; }
    static HidString withoutNul(const std::wstring& text) { return {Value, text, false}; }
    static HidString failing() { return {Fail, {}}; }
    static HidString unterminated() { return {FillWithoutNul, {}}; }
};

struct StringDescriptor {
    enum Mode {
        InsufficientBuffer,  // a buffer smaller than the descriptor fails with ERROR_INSUFFICIENT_BUFFER
        Truncate,            // a smaller buffer gets the first bytes, successfully
        Fail,                // the request fails (ERROR_GEN_FAILURE)
        NothingTransferred,  // the request succeeds with 0 bytes
        OverReported,        // as Truncate, but the count transferred is the whole descriptor's
    };
    std::vector<unsigned char> bytes;  // the whole descriptor as the device sends it
    Mode mode = InsufficientBuffer;
    // Transfers at most this many bytes even when more fit (0 = no limit).
    ULONG shortTransfer = 0;

    static StringDescriptor of(const std::wstring& text);
};

struct SimDevice {
    GUID interfaceClass = hidInterfaceClass;
    std::wstring path;
    GUID setupClass = {};

    // Detail read: force a failure, or report a different required size.
    bool detailFails = false;
    std::optional<DWORD> reportedDetailSize;  // what the size query reports instead
    bool pathWithoutNul = false;  // the detail holds the path, no NUL, and its size has no room for one
    DWORD openError = 0;  // non-zero: CreateFileW fails with it

    // HID
    bool attributesFail = false;
    USHORT vendorId = 0;
    USHORT productId = 0;
    HidString manufacturer;
    HidString product;
    HidString serial;
    // Like some USB stacks: a string request with a buffer above 126 wide
    // characters succeeds with a broken string.
    bool brokenStringsAboveUsbLimit = false;

    // WinUSB
    bool initializeFails = false;
    // The first allocation that follows a successful WinUsb_Initialize on this
    // thread fails, as when memory runs out right after the device was opened.
    bool outOfMemoryAfterInitialize = false;
    bool deviceDescriptorFails = false;
    std::vector<unsigned char> deviceDescriptor;  // as sent; may be short
    std::map<UCHAR, StringDescriptor> strings;    // by string index
};

// The next allocation of exactly this many bytes (whole pages) on this thread ends
// where a page no one may touch begins: a read past its end stops the program.
void guardNextAllocation(std::size_t bytes);

// A device descriptor with the three string indices at offsets 14 to 16.
std::vector<unsigned char> deviceDescriptorWith(UCHAR iManufacturer, UCHAR iProduct,
                                                UCHAR iSerial);

class SimulatedDevices final : public devices::DeviceSystem {
public:
    SimDevice& addHid(const std::wstring& path, USHORT vendorId, USHORT productId,
                      const std::wstring& manufacturer, const std::wstring& product,
                      const std::wstring& serial);
    // A unit bound to WinUSB with string indices 1, 2 and 3.
    SimDevice& addWinUsb(const std::wstring& path, const std::wstring& manufacturer,
                         const std::wstring& product, const std::wstring& serial);

    void failClassDevs(DWORD error) { classDevsError_ = error; }

    // What was called: one line per call, "Name" and, where a device is known, " path".
    std::vector<std::string> calls();
    int count(const std::string& name);
    int count(const std::string& name, const std::wstring& path);
    void clearCalls();

    int liveSets();
    // Empty when every file, set and WinUSB interface was released exactly once;
    // otherwise what is left or was released twice.
    std::string leftOver();

    // DeviceSystem
    HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                  DWORD flags) override;
    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                     const GUID* interfaceClass, DWORD memberIndex,
                                     PSP_DEVICE_INTERFACE_DATA interfaceData) override;
    BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
                                          DWORD detailSize, PDWORD requiredSize,
                                          PSP_DEVINFO_DATA deviceInfo) override;
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) override;
    HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override;
    BOOL CloseHandle(HANDLE handle) override;
    void HidD_GetHidGuid(GUID* hidGuid) override;
    BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) override;
    BOOLEAN HidD_GetManufacturerString(HANDLE device, PVOID buffer, ULONG length) override;
    BOOLEAN HidD_GetProductString(HANDLE device, PVOID buffer, ULONG length) override;
    BOOLEAN HidD_GetSerialNumberString(HANDLE device, PVOID buffer, ULONG length) override;
    BOOL WinUsb_Initialize(HANDLE device, PWINUSB_INTERFACE_HANDLE interfaceHandle) override;
    BOOL WinUsb_GetDescriptor(WINUSB_INTERFACE_HANDLE interfaceHandle, UCHAR type, UCHAR index,
                              USHORT language, PUCHAR buffer, ULONG length,
                              PULONG transferred) override;
    BOOL WinUsb_Free(WINUSB_INTERFACE_HANDLE interfaceHandle) override;
    DWORD GetLastError() override { return ::GetLastError(); }
    void Sleep(DWORD milliseconds) override;  // recorded as "Sleep <ms>", then slept

private:
    struct SetState {
        GUID interfaceClass;
        std::vector<std::size_t> members;  // indices into devices_
        bool live = true;
    };
    struct FileState {
        std::size_t device;
        DWORD flags;
    };

    void record(const std::string& name, const SimDevice* device);
    SetState* findSet(HDEVINFO set);
    SimDevice* deviceOfFile(HANDLE handle);
    BOOLEAN hidString(const char* name, HANDLE device, HidString SimDevice::*field, PVOID buffer,
                      ULONG length);
    BOOL fail(DWORD error)
    {
        ::SetLastError(error);
        return FALSE;
    }
    // A successful call leaves a value no caller may act on, so code that reads
    // the last error after a success cannot pass on a stale one.
    BOOL succeed()
    {
        ::SetLastError(0xdeadbeef);
        return TRUE;
    }

    std::recursive_mutex mutex_;
    std::deque<SimDevice> devices_;  // stable references for addHid and addWinUsb
    std::map<std::uintptr_t, SetState> sets_;
    std::map<std::uintptr_t, FileState> files_;
    std::map<std::uintptr_t, std::size_t> winUsb_;
    std::vector<std::string> calls_;
    std::uintptr_t nextHandle_ = 0x1000;
    DWORD classDevsError_ = 0;
    int badReleases_ = 0;
};


} // namespace testing_support
