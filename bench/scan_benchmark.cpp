// scan_benchmark: one full scan with no service, and with the simulator serving
// 1 and 8 units, each timed back to back in every round against two baselines:
// the bare request-reply exchanges on a pipe of the benchmark's own, and what the
// design itself costs against the same simulator (a new connection, and per
// request the switch to message mode and a new event for the read, plus a bare
// SetupAPI walk of the HID class;
// with no service, three failed opens with their 2 ms pauses and bare walks of
// both classes).
#include "BareWalk.h"
#include "BenchmarkSupport.h"
#include "EchoPipe.h"
#include "PlatformServiceSimulator.h"
#include "app/Catalogue.h"
#include "devices/DeviceList.h"
#include "service/PipeServiceLink.h"
#include "devices/WinUsbIds.h"
#include "service/ServicePipe.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring pipeName(const wchar_t* what)
{
    return L"\\\\.\\pipe\\quorvel_bench_" + std::to_wstring(GetCurrentProcessId()) + L"_" + what;
}

void scan()
{
    devices::DeviceList list;
    list.scan(app::platformIdFilter, app::platformStringFilter);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 51;
    // Point the client at a pipe of our own so a real service is never disturbed.
    service::setServicePipeName(pipeName(L"service"));
    const devices::ScopedServiceLink link(service::pipeServiceLink());
    std::printf("%d rounds, milliseconds (medians; ratios are medians of per-round ratios)\n",
                rounds);

    bench::printComparison("(a) no service: scan", "design (3 failed opens, 3 pauses, 2 walks)",
                           bench::interleaved(rounds, scan, [] {
                               for (int attempt = 0; attempt < 3; ++attempt) {
                                   CreateFileW(service::servicePipeName().c_str(),
                                               GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
                                   Sleep(2);
                               }
                               bench::bareClassWalk(devices::unitWinUsbInterfaceClass);
                               bench::bareHidWalk();
                           }));

    bench::EchoPipe echo(pipeName(L"echo"));
    for (int units : {1, 8}) {
        simulator::SimulatorConfig config;
        config.pipeName = service::servicePipeName();
        for (int i = 0; i < units; ++i)
            config.units.push_back(simulator::makeUnit(L"BENCH" + std::to_wstring(i) + L"00000000000000000"));
        simulator::PlatformServiceSimulator server(config);
        if (!server.start()) {
            std::printf("cannot start the simulator\n");
            return 1;
        }
        const int exchanges = 1 + 5 * units;
        std::printf("(%c) %d unit(s), %d exchanges:\n", units == 1 ? 'b' : 'c', units, exchanges);
        bench::printComparison("    scan", "bare exchanges", bench::interleaved(rounds, scan, [&] {
                                   for (int i = 0; i < exchanges; ++i)
                                       echo.exchange();
                               }));
        // The design's calls on a connection of its own to the same simulator.
        bench::EchoPipe designed(service::servicePipeName(), false);
        bench::printComparison("    scan", "design", bench::interleaved(rounds, scan, [&] {
                                   designed.reconnect();
                                   for (int i = 0; i < exchanges; ++i)
                                       designed.designedExchange();
                                   bench::bareHidWalk();
                               }));
        server.stop();
    }
    return 0;
}
