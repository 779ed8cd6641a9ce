// scan_benchmark: the median cost of one full scan with no service, and with the
// simulator serving 1 and 8 units, each beside the same number of bare
// request-reply exchanges on a pipe of the benchmark's own.
#include "BenchmarkSupport.h"
#include "EchoPipe.h"
#include "PlatformServiceSimulator.h"
#include "app/Catalogue.h"
#include "devices/DeviceList.h"
#include "service/ServicePipe.h"
#include "service/ServiceProtocol.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring pipeName(const wchar_t* what)
{
    return L"\\\\.\\pipe\\quorvel_bench_" + std::to_wstring(GetCurrentProcessId()) + L"_" + what;
}

double scanMs(int runs)
{
    return bench::medianMs(runs, [] {
        devices::DeviceList list;
        list.scan(app::platformIdFilter, app::platformStringFilter);
    });
}

double bareExchangesMs(int runs, int exchanges)
{
    bench::EchoPipe pipe(pipeName(L"echo"));
    return bench::medianMs(runs, [&] {
        for (int i = 0; i < exchanges; ++i)
            pipe.exchange();
    });
}

simulator::SimulatedUnit benchUnit(int n)
{
    simulator::SimulatedUnit unit;
    unit.manufacturer = app::makerManufacturer;
    unit.product = L"Quorvel Motion";
    unit.serial = L"BENCH" + std::to_wstring(n) + L"00000000000000000";
    unit.deviceString = L"bench:" + std::to_wstring(n);
    return unit;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 51;
    // Point the client at a pipe of our own so a real service is never disturbed.
    service::setServicePipeName(pipeName(L"service"));

    const double idleScan = scanMs(runs);
    const double hidOnly = bench::medianMs(runs, [] {
        devices::DeviceList list;
        list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
    });
    const double winUsbOnly = bench::medianMs(runs, [] {
        devices::DeviceList list;
        list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
    });
    std::printf("median of %d runs, milliseconds\n", runs);
    std::printf("(a) no service: scan %.3f; pauses 6.000 + HID stage %.3f + WinUSB stage %.3f;"
                " scan beyond pauses %.3f\n",
                idleScan, hidOnly, winUsbOnly, idleScan - 6.0);

    for (int units : {1, 8}) {
        simulator::SimulatorConfig config;
        config.pipeName = service::servicePipeName();
        for (int i = 0; i < units; ++i)
            config.units.push_back(benchUnit(i));
        simulator::PlatformServiceSimulator server(config);
        if (!server.start()) {
            std::printf("cannot start the simulator\n");
            return 1;
        }
        const double scan = scanMs(runs);
        const double queryOnly = bench::medianMs(runs, [] {
            devices::DeviceList list;
            list.queryService(app::platformIdFilter, app::platformStringFilter);
        });
        const double connectOnly = bench::medianMs(runs, [] {
            service::ServicePipe pipe(service::servicePipeName());
            pipe.connect();
        });
        service::ServicePipe open(service::servicePipeName());
        open.connect();
        const double exchangesOnly = bench::medianMs(runs, [&] {
            for (int i = 0; i < 1 + 5 * units; ++i) {
                const service::ServiceRequest request(service::QueryDeviceCount, open.takeSequence(), 0);
                service::ServiceReply reply;
                open.transact(request.bytes, service::messageBytes, reply.bytes, service::messageBytes);
            }
        });
        open.close();
        server.stop();
        std::printf("    query %.3f = connect %.3f + client exchanges %.3f + rest\n", queryOnly,
                    connectOnly, exchangesOnly);
        const int exchanges = 1 + 5 * units;
        const double bare = bareExchangesMs(runs, exchanges);
        std::printf("(%c) %d unit(s): scan %.3f; %d bare exchanges %.3f; ratio %.2f"
                    " (scan without HID stage: ratio %.2f)\n",
                    units == 1 ? 'b' : 'c', units, scan, exchanges, bare, scan / bare,
                    (scan - hidOnly) / bare);
    }
    return 0;
}
