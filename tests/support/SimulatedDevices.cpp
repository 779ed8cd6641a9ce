#include "support/SimulatedDevices.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
thread_local bool g_failNextAllocation = false;
thread_local std::size_t g_guardedBytes = 0;
thread_local void* g_guarded = nullptr;

// Not inlined: the compiler would otherwise see free() given what operator new returned.
__attribute__((noinline)) void releaseBlock(void* block)
{
    if (!block || block != g_guarded)
        return std::free(block);
    g_guarded = nullptr;
    VirtualFree(block, 0, MEM_RELEASE);
}
}

void testing_support::guardNextAllocation(std::size_t bytes)
{
    g_guardedBytes = bytes;
}

// Every program that uses the simulated device set gets this allocator, which can
// be told to fail once, or to end one block at a no-access page; otherwise it is
// the usual one.
void* operator new(std::size_t size)
{
    if (g_failNextAllocation) {
        g_failNextAllocation = false;
        throw std::bad_alloc();
    }
    if (size != 0 && size == g_guardedBytes && size % 4096 == 0) {
        g_guardedBytes = 0;
        auto* block = static_cast<char*>(VirtualAlloc(nullptr, size + 4096, MEM_COMMIT, PAGE_READWRITE));
        DWORD previous = 0;
        if (block && VirtualProtect(block + size, 4096, PAGE_NOACCESS, &previous))
            return g_guarded = block;
    }
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    releaseBlock(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    releaseBlock(block);
}

namespace testing_support {

namespace {

bool sameGuid(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

const std::size_t detailPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);

} // namespace

StringDescriptor StringDescriptor::of(const std::wstring& text)
{
    StringDescriptor descriptor;
    descriptor.bytes.push_back(static_cast<unsigned char>(2 + 2 * text.size()));
    descriptor.bytes.push_back(3);
    for (wchar_t unit : text) {
        descriptor.bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        descriptor.bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return descriptor;
}

std::vector<unsigned char> deviceDescriptorWith(UCHAR iManufacturer, UCHAR iProduct, UCHAR iSerial)
{
    std::vector<unsigned char> bytes = {18, 1, 0x00, 0x02, 0xFF, 0, 0, 64, 0x83, 0x04,
                                        0x10, 0xA1, 0x00, 0x01, 0, 0, 0, 1};
    bytes[14] = iManufacturer;
    bytes[15] = iProduct;
    bytes[16] = iSerial;
    return bytes;
}

SimDevice& SimulatedDevices::addHid(const std::wstring& path, USHORT vendorId, USHORT productId,
                                    const std::wstring& manufacturer, const std::wstring& product,
                                    const std::wstring& serial)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    SimDevice device;
    device.interfaceClass = hidInterfaceClass;
    device.path = path;
    device.vendorId = vendorId;
    device.productId = productId;
    device.manufacturer = HidString::of(manufacturer);
    device.product = HidString::of(product);
    device.serial = HidString::of(serial);
    devices_.push_back(device);
    return devices_.back();
}

SimDevice& SimulatedDevices::addWinUsb(const std::wstring& path, const std::wstring& manufacturer,
                                       const std::wstring& product, const std::wstring& serial)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    SimDevice device;
    device.interfaceClass = devices::unitWinUsbInterfaceClass;
    device.path = path;
    device.setupClass = devices::usbDeviceSetupClass;
    device.deviceDescriptor = deviceDescriptorWith(1, 2, 3);
    device.strings[1] = StringDescriptor::of(manufacturer);
    device.strings[2] = StringDescriptor::of(product);
    device.strings[3] = StringDescriptor::of(serial);
    devices_.push_back(device);
    return devices_.back();
}

void SimulatedDevices::record(const std::string& name, const SimDevice* device)
{
    calls_.push_back(device ? name + " " + narrow(device->path) : name);
}

std::vector<std::string> SimulatedDevices::calls()
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    return calls_;
}

int SimulatedDevices::count(const std::string& name)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [&](const std::string& c) {
        return c == name || c.compare(0, name.size() + 1, name + " ") == 0;
    }));
}

int SimulatedDevices::count(const std::string& name, const std::wstring& path)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    const std::string line = name + " " + narrow(path);
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), line));
}

void SimulatedDevices::clearCalls()
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    calls_.clear();
}

int SimulatedDevices::liveSets()
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    return static_cast<int>(std::count_if(sets_.begin(), sets_.end(),
                                          [](const auto& s) { return s.second.live; }));
}

std::string SimulatedDevices::leftOver()
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    std::string report;
    if (!files_.empty())
        report += std::to_string(files_.size()) + " open file(s); ";
    if (liveSets())
        report += std::to_string(liveSets()) + " live set(s); ";
    if (!winUsb_.empty())
        report += std::to_string(winUsb_.size()) + " live WinUSB interface(s); ";
    if (badReleases_)
        report += std::to_string(badReleases_) + " release(s) of handles not open; ";
    return report;
}

SimulatedDevices::SetState* SimulatedDevices::findSet(HDEVINFO set)
{
    auto found = sets_.find(reinterpret_cast<std::uintptr_t>(set));
    return found == sets_.end() || !found->second.live ? nullptr : &found->second;
}

SimDevice* SimulatedDevices::deviceOfFile(HANDLE handle)
{
    auto found = files_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == files_.end() ? nullptr : &devices_[found->second.device];
}

HDEVINFO SimulatedDevices::SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator,
                                                HWND parent, DWORD flags)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    record("SetupDiGetClassDevsW", nullptr);
    if (classDevsError_ != 0 || !classGuid || enumerator || parent
        || flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
        ::SetLastError(classDevsError_ ? classDevsError_ : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    SetState state{*classGuid, {}, true};
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        if (sameGuid(devices_[i].interfaceClass, *classGuid))
            state.members.push_back(i);
    }
    const std::uintptr_t handle = nextHandle_++;
    sets_[handle] = state;
    return reinterpret_cast<HDEVINFO>(handle);
}

BOOL SimulatedDevices::SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                                   const GUID* interfaceClass, DWORD memberIndex,
                                                   PSP_DEVICE_INTERFACE_DATA interfaceData)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    record("SetupDiEnumDeviceInterfaces", nullptr);
    SetState* state = findSet(set);
    if (!state || !interfaceClass || !interfaceData)
        return fail(ERROR_INVALID_PARAMETER);
    if (interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)
        || (deviceInfo && deviceInfo->cbSize != sizeof(SP_DEVINFO_DATA)))
        return fail(ERROR_INVALID_USER_BUFFER);
    // Only the interfaces of the class asked for, and of the one device when
    // device-info data is given, count towards the member index.
    std::vector<std::size_t> matching;
    for (std::size_t member : state->members)
        if (sameGuid(devices_[member].interfaceClass, *interfaceClass)
            && (!deviceInfo || deviceInfo->DevInst == member + 1))
            matching.push_back(member);
    if (memberIndex >= matching.size())
        return fail(ERROR_NO_MORE_ITEMS);
    interfaceData->InterfaceClassGuid = *interfaceClass;
    interfaceData->Flags = SPINT_ACTIVE;
    interfaceData->Reserved = matching[memberIndex] + 1;
    return succeed();
}

BOOL SimulatedDevices::SetupDiGetDeviceInterfaceDetailW(HDEVINFO set,
                                                        PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
                                                        DWORD detailSize, PDWORD requiredSize,
                                                        PSP_DEVINFO_DATA deviceInfo)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!findSet(set) || !interfaceData || interfaceData->Reserved == 0
        || interfaceData->Reserved > devices_.size()) {
        record("SetupDiGetDeviceInterfaceDetailW", nullptr);
        return fail(ERROR_INVALID_PARAMETER);
    }
    const SimDevice& device = devices_[interfaceData->Reserved - 1];
    record("SetupDiGetDeviceInterfaceDetailW", &device);
    const std::size_t pathUnits = device.path.size() + (device.pathWithoutNul ? 0 : 1);
    const DWORD needed = static_cast<DWORD>(detailPathOffset + pathUnits * sizeof(wchar_t));
    if (requiredSize)
        *requiredSize = device.reportedDetailSize.value_or(needed);
    if (!detail) {
        if (detailSize != 0)
            return fail(ERROR_INVALID_USER_BUFFER);
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return fail(ERROR_INVALID_USER_BUFFER);
    if (detailSize < needed)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    if (device.detailFails)
        return fail(ERROR_GEN_FAILURE);
    if (deviceInfo) {
        if (deviceInfo->cbSize != sizeof(SP_DEVINFO_DATA))
            return fail(ERROR_INVALID_USER_BUFFER);
        deviceInfo->ClassGuid = device.setupClass;
        deviceInfo->DevInst = static_cast<DWORD>(interfaceData->Reserved);
    }
    std::memcpy(detail->DevicePath, device.path.c_str(), pathUnits * sizeof(wchar_t));
    return succeed();
}

BOOL SimulatedDevices::SetupDiDestroyDeviceInfoList(HDEVINFO set)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    record("SetupDiDestroyDeviceInfoList", nullptr);
    SetState* state = findSet(set);
    if (!state) {
        ++badReleases_;
        return fail(ERROR_INVALID_HANDLE);
    }
    state->live = false;
    return succeed();
}

HANDLE SimulatedDevices::CreateFileW(LPCWSTR path, DWORD access, DWORD share,
                                     LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags, HANDLE)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    // Device paths are names in the object namespace: matched without regard to case.
    auto device = std::find_if(devices_.begin(), devices_.end(), [&](const SimDevice& d) {
        return CompareStringOrdinal(d.path.c_str(), -1, path, -1, TRUE) == CSTR_EQUAL;
    });
    record("CreateFileW", device == devices_.end() ? nullptr : &*device);
    if (device == devices_.end()) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (access != (GENERIC_READ | GENERIC_WRITE) || share != (FILE_SHARE_READ | FILE_SHARE_WRITE)
        || disposition != OPEN_EXISTING) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (device->openError != 0) {
        ::SetLastError(device->openError);
        return INVALID_HANDLE_VALUE;
    }
    const std::uintptr_t handle = nextHandle_++;
    files_[handle] = FileState{static_cast<std::size_t>(device - devices_.begin()), flags};
    return reinterpret_cast<HANDLE>(handle);
}

BOOL SimulatedDevices::CloseHandle(HANDLE handle)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    record("CloseHandle", deviceOfFile(handle));
    if (files_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 0) {
        ++badReleases_;
        return fail(ERROR_INVALID_HANDLE);
    }
    return succeed();
}

void SimulatedDevices::HidD_GetHidGuid(GUID* hidGuid)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    record("HidD_GetHidGuid", nullptr);
    *hidGuid = hidInterfaceClass;
}

BOOLEAN SimulatedDevices::HidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    SimDevice* device = deviceOfFile(handle);
    record("HidD_GetAttributes", device);
    if (!device || !attributes || attributes->Size != sizeof(HIDD_ATTRIBUTES))
        return fail(ERROR_INVALID_PARAMETER);
    if (device->attributesFail)
        return fail(ERROR_GEN_FAILURE);
    attributes->VendorID = device->vendorId;
    attributes->ProductID = device->productId;
    attributes->VersionNumber = 0x0100;
    return succeed();
}

BOOLEAN SimulatedDevices::hidString(const char* name, HANDLE handle, HidString SimDevice::*field,
                                    PVOID buffer, ULONG length)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    SimDevice* device = deviceOfFile(handle);
    record(name, device);
    // The HID class driver refuses string buffers above 4093 bytes.
    if (!device || !buffer || length > 4093)
        return fail(ERROR_INVALID_PARAMETER);
    if (device->brokenStringsAboveUsbLimit && length > 126 * sizeof(wchar_t)) {
        std::memcpy(buffer, L"\xFFFD\xFFFD", 3 * sizeof(wchar_t));
        return succeed();
    }
    const HidString& string = device->*field;
    switch (string.mode) {
    case HidString::Fail:
        return fail(ERROR_GEN_FAILURE);
    case HidString::FillWithoutNul:
        for (ULONG i = 0; i < length / 2; ++i)
            static_cast<wchar_t*>(buffer)[i] = L'Z';
        return succeed();
    case HidString::Value:
        break;
    }
    const std::size_t bytes = (string.value.size() + (string.terminated ? 1 : 0)) * sizeof(wchar_t);
    if (bytes > length)
        return fail(ERROR_INVALID_USER_BUFFER);
    std::memcpy(buffer, string.value.c_str(), bytes);
    return succeed();
}

BOOLEAN SimulatedDevices::HidD_GetManufacturerString(HANDLE device, PVOID buffer, ULONG length)
{
    return hidString("HidD_GetManufacturerString", device, &SimDevice::manufacturer, buffer, length);
}

BOOLEAN SimulatedDevices::HidD_GetProductString(HANDLE device, PVOID buffer, ULONG length)
{
    return hidString("HidD_GetProductString", device, &SimDevice::product, buffer, length);
}

BOOLEAN SimulatedDevices::HidD_GetSerialNumberString(HANDLE device, PVOID buffer, ULONG length)
{
    return hidString("HidD_GetSerialNumberString", device, &SimDevice::serial, buffer, length);
}

BOOL SimulatedDevices::WinUsb_Initialize(HANDLE handle, PWINUSB_INTERFACE_HANDLE interfaceHandle)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    SimDevice* device = deviceOfFile(handle);
    record("WinUsb_Initialize", device);
    if (!device || !interfaceHandle)
        return fail(ERROR_INVALID_HANDLE);
    // WinUSB works only on a file opened for overlapped I/O.
    if (!(files_[reinterpret_cast<std::uintptr_t>(handle)].flags & FILE_FLAG_OVERLAPPED))
        return fail(ERROR_INVALID_PARAMETER);
    if (device->initializeFails)
        return fail(ERROR_NOT_SUPPORTED);
    const std::uintptr_t winUsb = nextHandle_++;
    winUsb_[winUsb] = files_[reinterpret_cast<std::uintptr_t>(handle)].device;
    *interfaceHandle = reinterpret_cast<WINUSB_INTERFACE_HANDLE>(winUsb);
    g_failNextAllocation = device->outOfMemoryAfterInitialize;  // last: nothing here allocates after it
    return succeed();
}

BOOL SimulatedDevices::WinUsb_GetDescriptor(WINUSB_INTERFACE_HANDLE interfaceHandle, UCHAR type,
                                            UCHAR index, USHORT language, PUCHAR buffer,
                                            ULONG length, PULONG transferred)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    auto found = winUsb_.find(reinterpret_cast<std::uintptr_t>(interfaceHandle));
    SimDevice* device = found == winUsb_.end() ? nullptr : &devices_[found->second];
    record("WinUsb_GetDescriptor", device);
    if (!device)
        return fail(ERROR_INVALID_HANDLE);
    if (!buffer || !transferred)
        return fail(ERROR_INVALID_PARAMETER);
    StringDescriptor descriptor;
    if (type == 1 && index == 0 && language == 0) {
        if (device->deviceDescriptorFails)
            return fail(ERROR_GEN_FAILURE);
        descriptor.bytes = device->deviceDescriptor;
        descriptor.mode = StringDescriptor::Truncate;
    } else if (type == 3 && language == 0x0409 && device->strings.count(index)) {
        descriptor = device->strings[index];
    } else {
        return fail(ERROR_GEN_FAILURE);
    }
    if (descriptor.mode == StringDescriptor::Fail)
        return fail(ERROR_GEN_FAILURE);
    if (descriptor.mode == StringDescriptor::NothingTransferred) {
        *transferred = 0;
        return succeed();
    }
    if (descriptor.mode == StringDescriptor::InsufficientBuffer && length < descriptor.bytes.size())
        return fail(ERROR_INSUFFICIENT_BUFFER);
    ULONG count = std::min<ULONG>(length, static_cast<ULONG>(descriptor.bytes.size()));
    if (descriptor.shortTransfer != 0)
        count = std::min(count, descriptor.shortTransfer);
    std::memcpy(buffer, descriptor.bytes.data(), count);
    *transferred = descriptor.mode == StringDescriptor::OverReported
                       ? static_cast<ULONG>(descriptor.bytes.size()) : count;
    return succeed();
}

void SimulatedDevices::Sleep(DWORD milliseconds)
{
    {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        record("Sleep " + std::to_string(milliseconds), nullptr);
    }
    ::Sleep(milliseconds);
}

BOOL SimulatedDevices::WinUsb_Free(WINUSB_INTERFACE_HANDLE interfaceHandle)
{
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    auto found = winUsb_.find(reinterpret_cast<std::uintptr_t>(interfaceHandle));
    record("WinUsb_Free", found == winUsb_.end() ? nullptr : &devices_[found->second]);
    if (found == winUsb_.end()) {
        ++badReleases_;
        return fail(ERROR_INVALID_HANDLE);
    }
    winUsb_.erase(found);
    return succeed();
}

} // namespace testing_support
