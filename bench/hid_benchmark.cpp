// hid_benchmark: the HID stage over the HID devices the system presents, beside
// a bare SetupAPI walk of the same class plus the same opens and string
// requests the stage makes, timed back to back in every round.
//   hid_benchmark [ROUNDS [UNITS...]]
// With UNITS (for example 1 8 32), the run is repeated with that many virtual
// HID units plugged into the prefix, which must let test drivers be installed:
// use the units test's prefix, never a user's.
#include "BareWalk.h"
#include "BenchmarkSupport.h"
#include "VirtualUnits.h"
#include "app/Catalogue.h"
#include "devices/DeviceList.h"

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The walk, and for every first collection an open, its attributes, its three
// strings and a close: the least any HID stage must do.
void bareWalkWithReads()
{
    bench::bareHidWalk([](const wchar_t* path) {
        if (!wcsstr(path, L"&0000#{"))
            return;
        HANDLE device = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE)
            return;
        HIDD_ATTRIBUTES attributes = {};
        attributes.Size = sizeof attributes;
        wchar_t text[126];
        HidD_GetAttributes(device, &attributes);
        HidD_GetManufacturerString(device, text, sizeof text);
        HidD_GetProductString(device, text, sizeof text);
        HidD_GetSerialNumberString(device, text, sizeof text);
        CloseHandle(device);
    });
}

std::wstring unitInstance(int n)
{
    wchar_t id[80];
    swprintf(id, 80, L"ROOT\\VID_0483&PID_A110\\7&BE%06X&0&0000", n);
    return id;
}

void compare(int rounds)
{
    const int interfaces = bench::bareHidWalk();
    const bench::Comparison c = bench::interleaved(
        rounds,
        [] {
            devices::DeviceList list;
            list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
        },
        [] { bareWalkWithReads(); });
    std::printf("%d HID interfaces, %d rounds, milliseconds (medians)\n", interfaces, rounds);
    bench::printComparison("  HID stage", "bare walk with the same reads", c);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 101;
    compare(rounds);
    for (int a = 2; a < argc; ++a) {
        const int units = std::atoi(argv[a]);
        std::vector<std::wstring> plugged;
        for (int n = 0; n < units; ++n) {
            const std::wstring id = unitInstance(n);
            if (virtual_units::addHidUnit(id, {L"Manufacturer=Tervalis", L"Product=Quorvel Motion",
                                               L"Serial=BENCH" + std::to_wstring(n)}))
                plugged.push_back(id);
        }
        for (const std::wstring& id : plugged)
            virtual_units::waitForInterface(id, 5000);
        std::printf("with %d virtual unit(s):\n", static_cast<int>(plugged.size()));
        compare(rounds);
        for (const std::wstring& id : plugged)
            virtual_units::removeUnit(id);
    }
    return 0;
}
