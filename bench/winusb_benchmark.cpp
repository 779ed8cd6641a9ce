// winusb_benchmark: the WinUSB stage with 1 and 8 virtual WinUSB units (or the
// counts given), beside a bare walk of the units' interface class that makes the
// same opens and descriptor requests, timed back to back in every round.
//   winusb_benchmark [ROUNDS [UNITS...]]
// Run it only in the units test prefix: it installs the test-only winusb.dll
// there and selects it for itself (Wine's own is stubs), then runs again as a
// child that gets it.
#include "BareWalk.h"
#include "ChildProcess.h"
#include "DllOverrides.h"
#include "UiDriver.h"
#include "BenchmarkSupport.h"
#include "VirtualUnits.h"
#include "app/Catalogue.h"
#include "devices/DeviceList.h"
#include "devices/WinUsbIds.h"

#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The walk, and for every interface an open, WinUSB, the device descriptor and
// three 64-byte string requests, and the closes: the least the stage must do.
void bareWalkWithReads()
{
    bench::bareClassWalk(devices::unitWinUsbInterfaceClass, [](const wchar_t* path) {
        HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return;
        WINUSB_INTERFACE_HANDLE usb = nullptr;
        if (WinUsb_Initialize(file, &usb)) {
            UCHAR descriptor[64];
            ULONG received = 0;
            WinUsb_GetDescriptor(usb, 1, 0, 0, descriptor, 18, &received);
            for (UCHAR index = 1; index <= 3; ++index)
                WinUsb_GetDescriptor(usb, 3, index, 0x0409, descriptor, sizeof descriptor, &received);
            WinUsb_Free(usb);
        }
        CloseHandle(file);
    });
}

int measure(int rounds, const std::vector<int>& counts)
{
    for (int units : counts) {
        std::vector<std::wstring> plugged;
        for (int n = 0; n < units; ++n) {
            const std::wstring id = L"ROOT\\VID_0483&PID_A110\\WB" + std::to_wstring(1000 + n);
            if (virtual_units::addUnit(virtual_units::UnitKind::WinUsb, id,
                                       {L"Manufacturer=Tervalis", L"Product=Quorvel Motion",
                                        L"Serial=BENCH" + std::to_wstring(n)}))
                plugged.push_back(id);
        }
        for (const std::wstring& id : plugged)
            virtual_units::waitForInterface(id, 5000);
        const bench::Comparison c = bench::interleaved(
            rounds,
            [] {
                devices::DeviceList list;
                list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
            },
            [] { bareWalkWithReads(); });
        std::printf("%d virtual WinUSB unit(s), %d rounds, milliseconds (medians)\n",
                    static_cast<int>(plugged.size()), rounds);
        bench::printComparison("  WinUSB stage", "bare walk with the same reads", c);
        for (const std::wstring& id : plugged)
            virtual_units::removeUnit(id);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 51;
    std::vector<int> counts;
    for (int a = 2; a < argc; ++a)
        if (std::string(argv[a]) != "--child")
            counts.push_back(std::atoi(argv[a]));
    if (counts.empty())
        counts = {1, 8};
    if (std::string(argv[argc - 1]) == "--child")
        return measure(rounds, counts);

    const std::wstring self = uidriver::buildPath(L"\\bench\\winusb_benchmark.exe");
    const std::wstring standIn = uidriver::buildPath(L"\\tests\\standins\\winusb.dll");
    const uidriver::DllOverrides overrides(L"winusb_benchmark.exe");
    if (!CopyFileW(standIn.c_str(), L"C:\\windows\\system32\\winusb.dll", FALSE)
        || !overrides.set(L"winusb", L"native")) {
        std::printf("cannot install the test-only winusb.dll\n");
        return 1;
    }
    std::wstring arguments = std::to_wstring(rounds);
    for (int units : counts)
        arguments += L" " + std::to_wstring(units);
    arguments += L" --child";
    const uidriver::ChildProcess child = uidriver::ChildProcess::start(self, arguments);
    return static_cast<int>(child.waitForExit(INFINITE).value_or(1));
}
