// hid_benchmark: the median cost of the HID stage over the HID devices the system
// presents, beside a bare SetupAPI walk of the same class (set, interfaces,
// details, destroy) that opens nothing.
#include "BenchmarkSupport.h"
#include "app/Catalogue.h"
#include "devices/DeviceList.h"

#include <windows.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

int bareWalk()
{
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVINFO set = SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return 0;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    int count = 0;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &data); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
        std::vector<unsigned char> buffer(size ? size : 8);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, &size, nullptr);
        ++count;
    }
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 101;
    const int interfaces = bareWalk();
    const double stage = bench::medianMs(runs, [] {
        devices::DeviceList list;
        list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
    });
    const double bare = bench::medianMs(runs, [] { bareWalk(); });
    std::printf("median of %d runs over %d HID interfaces, milliseconds\n", runs, interfaces);
    std::printf("HID stage %.3f; bare SetupAPI walk %.3f; ratio %.2f\n", stage, bare, stage / bare);
    return 0;
}
