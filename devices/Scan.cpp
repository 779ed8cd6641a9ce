// The full scan: the platform service first, else WinUSB, then HID.
#include "devices/DeviceList.h"
#include "devices/DeviceSystem.h"
#include "devices/ServiceLink.h"

#include <windows.h>

namespace devices {

DiscoveryMode discoveryMode = DiscoveryMode::ServiceElseWinUsb;

namespace {
constexpr int serviceAttempts = 3;
constexpr DWORD pauseAfterFailedAttemptMs = 2;
ServiceLink* g_serviceLink = nullptr;
} // namespace

ScopedServiceLink::ScopedServiceLink(ServiceLink& link) : previous_(g_serviceLink)
{
    g_serviceLink = &link;
}

ScopedServiceLink::~ScopedServiceLink()
{
    g_serviceLink = previous_;
}

bool DeviceList::queryService(IdFilter idFilter, StringFilter stringFilter)
{
    devices_.clear();
    return g_serviceLink && g_serviceLink->queryDevices(idFilter, stringFilter, devices_);
}

void DeviceList::scan(IdFilter idFilter, StringFilter stringFilter)
{
    devices_.clear();

    bool serviceAnswered = false;
    if (discoveryMode != DiscoveryMode::WinUsbOnly) {
        for (int attempt = 0; attempt < serviceAttempts && !serviceAnswered; ++attempt) {
            serviceAnswered = queryService(idFilter, stringFilter);
            if (!serviceAnswered)
                deviceSystem().Sleep(pauseAfterFailedAttemptMs);
        }
    }
    if (!serviceAnswered && discoveryMode != DiscoveryMode::ServiceOnly)
        enumerateWinUsb(idFilter, stringFilter);

    enumerateHid(idFilter, stringFilter, true);
}

} // namespace devices
