// hid_benchmark: the HID stage over the HID devices the system presents, beside
// a bare SetupAPI walk of the same class that opens nothing, timed back to back
// in every round.
#include "BareWalk.h"
#include "BenchmarkSupport.h"
#include "app/Catalogue.h"
#include "devices/DeviceList.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 101;
    const int interfaces = bench::bareHidWalk();
    const bench::Comparison c = bench::interleaved(
        rounds,
        [] {
            devices::DeviceList list;
            list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
        },
        [] { bench::bareHidWalk(); });
    std::printf("%d rounds over %d HID interfaces, milliseconds (medians)\n", rounds, interfaces);
    bench::printComparison("HID stage", "bare SetupAPI walk", c);
    return 0;
}
