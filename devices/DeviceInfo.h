// One found device, and the two filter callbacks that every discovery stage applies.
#pragma once

#include <cstdint>
#include <string>

namespace devices {

// How a record was found.
enum Transport : std::uint32_t {
    TransportHid = 0,
    TransportWinUsb = 1,
    TransportService = 2,  // what the service reports as kind 1
};

struct DeviceInfo {
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
    std::wstring manufacturer;
    std::wstring product;
    std::wstring serialNumber;
    std::wstring devicePath;
    std::uint32_t transport = TransportHid;
};

// Called as soon as a candidate's identifiers are known, before any string is read.
using IdFilter = bool (*)(std::uint32_t vendorId, std::uint32_t productId);
// Called once the manufacturer and product strings have been read.
using StringFilter = bool (*)(std::uint32_t vendorId, std::uint32_t productId,
                              const std::wstring& manufacturer, const std::wstring& product);

// A null filter accepts every candidate.
inline bool passesIdFilter(IdFilter filter, std::uint32_t vendorId, std::uint32_t productId)
{
    return !filter || filter(vendorId, productId);
}

inline bool passesStringFilter(StringFilter filter, const DeviceInfo& device)
{
    return !filter || filter(device.vendorId, device.productId, device.manufacturer, device.product);
}

} // namespace devices
