// The full scan: the platform service first, else WinUSB, then HID.
#include "devices/DeviceList.h"

#include <windows.h>

namespace devices {

namespace {
constexpr int serviceAttempts = 3;
constexpr DWORD pauseAfterFailedAttemptMs = 2;
}

void DeviceList::scan(IdFilter idFilter, StringFilter stringFilter)
{
    devices_.clear();

    bool serviceAnswered = false;
    if (discoveryMode != 2) {
        for (int attempt = 0; attempt < serviceAttempts && !serviceAnswered; ++attempt) {
            serviceAnswered = queryService(idFilter, stringFilter);
            if (!serviceAnswered)
                Sleep(pauseAfterFailedAttemptMs);
        }
    }
    if (!serviceAnswered && discoveryMode != 1)
        enumerateWinUsb(idFilter, stringFilter);

    enumerateHid(idFilter, stringFilter, true);
}

} // namespace devices
