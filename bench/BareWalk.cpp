#include "BareWalk.h"

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <vector>

namespace bench {

int bareClassWalk(const GUID& interfaceClass, const InterfaceVisit& visit)
{
    HDEVINFO set = SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return 0;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    int count = 0;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, i, &data); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
        std::vector<unsigned char> buffer(size ? size : 8);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, &size, nullptr) && visit)
            visit(detail->DevicePath);
        ++count;
    }
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

int bareHidWalk(const InterfaceVisit& visit)
{
    GUID hid;
    HidD_GetHidGuid(&hid);
    return bareClassWalk(hid, visit);
}

} // namespace bench
