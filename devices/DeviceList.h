// The devices of one scan, and the discovery stages that fill them.
#pragma once

#include "devices/DeviceInfo.h"

#include <vector>

namespace devices {

class DeviceList {
public:
    const std::vector<DeviceInfo>& devices() const { return devices_; }

    // The full scan: the platform service (up to three attempts), else WinUSB,
    // then HID without the units already found.
    void scan(IdFilter idFilter, StringFilter stringFilter);

    // Clears the list and fills it from the platform service through the bound
    // link (devices/ServiceLink.h). True when the service answered the device
    // count, also when it reported no devices.
    bool queryService(IdFilter idFilter, StringFilter stringFilter);

    // Clears the list, then appends the WinUSB devices that pass the filters.
    void enumerateWinUsb(IdFilter idFilter, StringFilter stringFilter);

    // Appends the HID devices that pass the filters, without clearing. With
    // suppressDuplicates, leaves out units already listed by WinUSB or the service.
    void enumerateHid(IdFilter idFilter, StringFilter stringFilter, bool suppressDuplicates);

private:
    std::vector<DeviceInfo> devices_;
};

// Which sources a scan asks besides HID. Always ServiceElseWinUsb in the product;
// tests choose the others to reach one source alone.
enum class DiscoveryMode {
    ServiceElseWinUsb = 0,  // the service, and WinUSB only when the service did not answer
    ServiceOnly = 1,
    WinUsbOnly = 2,
};
extern DiscoveryMode discoveryMode;

} // namespace devices
