// The full scan: the platform service first, else WinUSB, then HID; and the
// service query it makes.
#include "devices/DeviceList.h"
#include "devices/DeviceSystem.h"
#include "service/QueryService.h"
#include "service/ServicePipe.h"

#include <windows.h>

namespace devices {

// The product always asks the service first; tests change this to reach the other modes.
int discoveryMode = 0;

namespace {
constexpr int serviceAttempts = 3;
constexpr DWORD pauseAfterFailedAttemptMs = 2;
}

bool DeviceList::queryService(IdFilter idFilter, StringFilter stringFilter)
{
    devices_.clear();
    service::ServicePipe pipe(service::servicePipeName());
    if (!pipe.connect()) {
        pipe.close();
        return false;
    }
    const bool answered = service::askDevices(pipe, idFilter, stringFilter, devices_);
    pipe.close();
    return answered;
}

void DeviceList::scan(IdFilter idFilter, StringFilter stringFilter)
{
    devices_.clear();

    bool serviceAnswered = false;
    if (discoveryMode != 2) {
        for (int attempt = 0; attempt < serviceAttempts && !serviceAnswered; ++attempt) {
            serviceAnswered = queryService(idFilter, stringFilter);
            if (!serviceAnswered)
                deviceSystem().Sleep(pauseAfterFailedAttemptMs);
        }
    }
    if (!serviceAnswered && discoveryMode != 1)
        enumerateWinUsb(idFilter, stringFilter);

    enumerateHid(idFilter, stringFilter, true);
}

} // namespace devices
