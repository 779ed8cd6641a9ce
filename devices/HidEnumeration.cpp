// The HID stage of a scan: walks the present HID interfaces, reads identifiers
// and strings through the HID class driver and keeps the devices the filters accept.
#include "devices/DeviceHandle.h"
#include "devices/DeviceList.h"
#include "devices/DeviceSystem.h"
#include "devices/InterfaceDetail.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace devices {

namespace {

// Owns one SetupAPI buffer or device-information set. Without a release
// function the value is a block from the process heap.
template <typename T>
class MemWrapper {
public:
    using ReleaseFunction = void (*)(T);

    explicit MemWrapper(T value = nullptr, ReleaseFunction release = nullptr)
        : value(value), release(release)
    {
    }
    virtual ~MemWrapper()
    {
        if (!value)
            return;
        if (release)
            release(value);
        else
            HeapFree(GetProcessHeap(), 0, value);
    }
    MemWrapper(const MemWrapper&) = delete;
    MemWrapper& operator=(const MemWrapper&) = delete;

    T value;
    ReleaseFunction release;
};

void destroyDeviceInfoList(void* set)
{
    deviceSystem().SetupDiDestroyDeviceInfoList(set);
}

// A USB string holds at most 126 wide characters, and some USB stacks answer a
// larger buffer with success and a broken string: ask with exactly 126.
constexpr ULONG hidStringBytes = 126 * sizeof(wchar_t);
constexpr std::size_t hidStringUnits = hidStringBytes / sizeof(wchar_t);

// Only the first top-level collection of a device is asked; the other
// collections of the same device repeat its strings.
constexpr const wchar_t* firstCollectionMark = L"&0000#{";

using HidStringRequest = BOOLEAN (DeviceSystem::*)(HANDLE, PVOID, ULONG);

// One HID string request into the shared buffer. The buffer is cleared first so
// that a driver that writes no terminator cannot hand back an earlier device's
// text, and the copy stops at the buffer's end when no NUL is there.
bool readHidString(HANDLE device, HidStringRequest request, std::vector<wchar_t>& buffer,
                   std::wstring& field)
{
    std::fill(buffer.begin(), buffer.end(), L'\0');
    if (!(deviceSystem().*request)(device, buffer.data(), hidStringBytes))
        return false;
    field.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    return true;
}

bool isListedElsewhere(const std::vector<DeviceInfo>& devices, const DeviceInfo& candidate)
{
    for (const DeviceInfo& known : devices) {
        if ((known.transport == TransportWinUsb || known.transport == TransportService)
            && known.vendorId == candidate.vendorId && known.productId == candidate.productId
            && known.serialNumber == candidate.serialNumber)
            return true;
    }
    return false;
}

} // namespace

void DeviceList::enumerateHid(IdFilter idFilter, StringFilter stringFilter, bool suppressDuplicates)
{
    DeviceSystem& system = deviceSystem();
    GUID hidGuid;
    system.HidD_GetHidGuid(&hidGuid);
    HDEVINFO rawSet = system.SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr,
                                                  DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (rawSet == INVALID_HANDLE_VALUE || rawSet == nullptr)
        return;
    MemWrapper<void*> set(rawSet, destroyDeviceInfoList);

    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof interfaceData;
    std::vector<wchar_t> stringBuffer(hidStringUnits, L'\0');

    for (DWORD index = 0;
         system.SetupDiEnumDeviceInterfaces(set.value, nullptr, &hidGuid, index, &interfaceData);
         ++index) {
        DWORD requiredSize = 0;
        system.SetupDiGetDeviceInterfaceDetailW(set.value, &interfaceData, nullptr, 0,
                                                &requiredSize, nullptr);
        // A size that cannot even hold the fixed part is as good as none.
        if (requiredSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;

        MemWrapper<struct _SP_DEVICE_INTERFACE_DETAIL_DATA_W*> detail(
            static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(
                HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, requiredSize)));
        if (!detail.value)
            continue;
        detail.value->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!system.SetupDiGetDeviceInterfaceDetailW(set.value, &interfaceData, detail.value,
                                                     requiredSize, &requiredSize, nullptr))
            continue;

        DeviceInfo candidate;
        candidate.devicePath = detailDevicePath(detail.value, requiredSize);
        if (candidate.devicePath.find(firstCollectionMark) == std::wstring::npos)
            continue;

        DeviceHandle device(system.CreateFileW(candidate.devicePath.c_str(),
                                               GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        // Windows refuses keyboards and mice opened for reading and writing.
        if (!device)
            continue;

        HIDD_ATTRIBUTES attributes = {};
        attributes.Size = sizeof attributes;
        if (!system.HidD_GetAttributes(device.get(), &attributes))
            continue;
        if (!passesIdFilter(idFilter, attributes.VendorID, attributes.ProductID))
            continue;
        candidate.vendorId = attributes.VendorID;
        candidate.productId = attributes.ProductID;

        if (!readHidString(device.get(), &DeviceSystem::HidD_GetManufacturerString, stringBuffer,
                           candidate.manufacturer))
            continue;
        if (!readHidString(device.get(), &DeviceSystem::HidD_GetProductString, stringBuffer,
                           candidate.product))
            continue;
        if (!passesStringFilter(stringFilter, candidate))
            continue;
        if (candidate.manufacturer.empty() || candidate.product.empty())
            continue;

        // A device without a serial number is still a device.
        if (!readHidString(device.get(), &DeviceSystem::HidD_GetSerialNumberString, stringBuffer,
                           candidate.serialNumber))
            candidate.serialNumber.clear();

        if (suppressDuplicates && isListedElsewhere(devices_, candidate))
            continue;
        devices_.push_back(candidate);
    }
}

} // namespace devices
