// The WinUSB stage of a scan: walks the units' WinUSB interfaces, takes the
// identifiers from the path, opens accepted devices through the handle cache and
// reads their string descriptors.
#include "devices/BoundsCheck.h"
#include "devices/DeviceHandle.h"
#include "devices/DeviceList.h"
#include "devices/DeviceSystem.h"
#include "devices/InterfaceDetail.h"
#include "devices/WinUsbHandleCache.h"
#include "devices/WinUsbIds.h"

#include <algorithm>
#include <cwctype>
#include <memory>
#include <stdexcept>
#include <vector>

namespace devices {

namespace {

// Offsets of the string indices in a USB device descriptor.
constexpr std::size_t iManufacturerOffset = 14;
constexpr std::size_t iProductOffset = 15;
constexpr std::size_t iSerialNumberOffset = 16;

constexpr ULONG firstStringBufferBytes = 64;
constexpr ULONG lastGrowableBufferBytes = 1024;  // the largest buffer tried is twice this

// A descriptor byte, or 0 ("no string") when the device sent fewer bytes.
UCHAR descriptorByte(const unsigned char* descriptor, ULONG received, std::size_t offset)
{
    QUORVEL_CHECK_BOUNDS(received <= usbDeviceDescriptorBytes);
    return offset < received ? descriptor[offset] : 0;
}

// Reads the device descriptor and the three strings through the lock's handle.
bool readUnitStrings(WINUSB_INTERFACE_HANDLE handle, DeviceInfo& candidate)
{
    unsigned char descriptor[usbDeviceDescriptorBytes] = {};
    ULONG received = 0;
    if (!deviceSystem().WinUsb_GetDescriptor(handle, usbDeviceDescriptorType, 0, 0, descriptor,
                                             usbDeviceDescriptorBytes, &received))
        return false;
    received = std::min<ULONG>(received, usbDeviceDescriptorBytes);

    const struct {
        std::size_t offset;
        std::wstring* field;
    } strings[] = {
        {iManufacturerOffset, &candidate.manufacturer},
        {iProductOffset, &candidate.product},
        {iSerialNumberOffset, &candidate.serialNumber},
    };
    for (const auto& string : strings) {
        const UCHAR index = descriptorByte(descriptor, received, string.offset);
        if (index != 0 && !readStringDescriptor(handle, index, englishUnitedStates, *string.field))
            return false;
    }
    return true;
}

// Opens the candidate through the cache and reads it; a failed read closes the
// device at once.
bool readThroughCache(DeviceInfo& candidate)
{
    // Scope ends the lock first and then the reference, the order the cache expects.
    WinUsbDeviceRef reference;
    if (!reference.open(candidate.devicePath))
        return false;
    WinUsbDeviceLock lock(reference);
    lock.discard = !readUnitStrings(lock.interfaceHandle, candidate);
    return !lock.discard;
}

std::wstring lowerCased(const std::wstring& text)
{
    std::wstring lower(text);
    for (wchar_t& unit : lower)
        unit = static_cast<wchar_t>(std::towlower(unit));
    return lower;
}

} // namespace

std::uint32_t parseHexId(const std::wstring& path, const std::wstring& key)
{
    const std::size_t found = path.find(key);
    if (found == std::wstring::npos)
        return 0;
    const std::wstring digits = path.substr(found + key.size(), 4);
    try {
        return static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
    } catch (const std::invalid_argument&) {
        return 0;
    } catch (const std::out_of_range&) {
        return 0;
    }
}

std::wstring stringDescriptorText(const unsigned char* descriptor, std::size_t received)
{
    if (received < 2)
        return {};
    const std::size_t length = std::min<std::size_t>(descriptor[0], received);
    if (length < 2)
        return {};
    const std::size_t units = (length - 2) / 2;
    QUORVEL_CHECK_BOUNDS(2 + 2 * units <= received);
    std::wstring text(units, L'\0');
    for (std::size_t i = 0; i < units; ++i)
        text[i] = static_cast<wchar_t>(descriptor[2 + 2 * i] | (descriptor[3 + 2 * i] << 8));
    return text;
}

bool readStringDescriptor(WINUSB_INTERFACE_HANDLE handle, UCHAR index, USHORT language,
                          std::wstring& field)
{
    DeviceSystem& system = deviceSystem();
    ULONG size = firstStringBufferBytes;
    unsigned char firstBuffer[firstStringBufferBytes];
    std::unique_ptr<unsigned char[]> grown;
    unsigned char* buffer = firstBuffer;
    for (;;) {
        ULONG received = 0;
        if (system.WinUsb_GetDescriptor(handle, usbStringDescriptorType, index, language, buffer,
                                        size, &received)) {
            received = std::min(received, size);
            // A device may answer a buffer smaller than the descriptor with its
            // first bytes, as USB GET_DESCRIPTOR does: the buffer is full and the
            // length byte says there is more. Ask again with a larger buffer.
            const bool cut = received == size && buffer[0] > received;
            if (!cut || size > lastGrowableBufferBytes) {
                field = stringDescriptorText(buffer, received);
                return true;
            }
        } else if (system.GetLastError() != ERROR_INSUFFICIENT_BUFFER
                   || size > lastGrowableBufferBytes) {
            return false;
        }
        size *= 2;
        grown.reset(new (std::nothrow) unsigned char[size]);
        if (!grown)
            return false;
        buffer = grown.get();
    }
}

void DeviceList::enumerateWinUsb(IdFilter idFilter, StringFilter stringFilter)
{
    devices_.clear();
    DeviceSystem& system = deviceSystem();
    HDEVINFO rawSet = system.SetupDiGetClassDevsW(&unitWinUsbInterfaceClass, nullptr, nullptr,
                                                  DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    const DeviceInfoSet set(rawSet);
    if (!set)
        return;

    std::vector<unsigned char> detailBuffer(winUsbDetailBytes, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detailBuffer.data());
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    SP_DEVINFO_DATA deviceInfo = {};

    for (DWORD index = 0;; ++index) {
        interfaceData.cbSize = sizeof interfaceData;
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        deviceInfo.cbSize = sizeof deviceInfo;
        if (!system.SetupDiEnumDeviceInterfaces(set.get(), nullptr, &unitWinUsbInterfaceClass,
                                                index, &interfaceData))
            break;
        if (!system.SetupDiGetDeviceInterfaceDetailW(set.get(), &interfaceData, detail,
                                                     winUsbDetailBytes, nullptr, &deviceInfo))
            continue;
        if (!IsEqualGUID(deviceInfo.ClassGuid, usbDeviceSetupClass))
            continue;

        DeviceInfo candidate;
        candidate.transport = TransportWinUsb;
        candidate.devicePath = detailDevicePath(detail, winUsbDetailBytes);
        const std::wstring lowerPath = lowerCased(candidate.devicePath);
        candidate.vendorId = parseHexId(lowerPath, L"vid_");
        candidate.productId = parseHexId(lowerPath, L"pid_");
        if (candidate.vendorId == 0 || candidate.productId == 0)
            continue;
        if (!passesIdFilter(idFilter, candidate.vendorId, candidate.productId))
            continue;

        if (!readThroughCache(candidate))
            continue;
        if (!passesStringFilter(stringFilter, candidate))
            continue;
        devices_.push_back(candidate);
    }
}

} // namespace devices
