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

    // Clears the list and fills it from the platform service. True when the
    // service answered the device count, also when it reported no devices.
    bool queryService(IdFilter idFilter, StringFilter stringFilter);

    // Clears the list, then appends the WinUSB devices that pass the filters.
    void enumerateWinUsb(IdFilter idFilter, StringFilter stringFilter);

    // Appends the HID devices that pass the filters, without clearing. With
    // suppressDuplicates, leaves out units already listed by WinUSB or the service.
    void enumerateHid(IdFilter idFilter, StringFilter stringFilter, bool suppressDuplicates);

private:
    std::vector<DeviceInfo> devices_;
};

// Which sources a scan asks: 0 service, else WinUSB, and HID; 1 service and HID;
// 2 WinUSB and HID. Always 0 in the product.
extern int discoveryMode;

} // namespace devices
