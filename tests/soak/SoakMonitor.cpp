// soak_monitor: runs the tool (its fast-scanning test build) for minutes while
// the platform-service simulator cycles through every way the service can
// behave, and checks that the tool never grows, hangs, crashes or shows a text
// it did not read.
//   soak_monitor [--minutes N] [--exe PATH] [--units]
// With --units a virtual HID unit is plugged in and out all along (run it in
// the units prefix, where test drivers may be installed).
#include "ChildProcess.h"
#include "PlatformServiceSimulator.h"
#include "ProcessProbe.h"
#include "UiDriver.h"
#include "VirtualUnits.h"
#include "app/Catalogue.h"
#include "app/SerialDisplay.h"
#include "diag/Log.h"
#include "service/ServiceProtocol.h"
#include "support/Files.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing_support::countOf;
using testing_support::narrow;
using simulator::Fault;
using simulator::SimulatedUnit;

const std::wstring serialA = L"QV24A7C1E900B3D51F06A2E8";
const std::wstring serialB = L"KPX000000000000000000042";
const std::wstring shownA = L"QV24A7-C1E900-B3D51F-06A2E8";
const std::wstring shownB = L"KPX000-000000-000000-000042";
const std::wstring notFound = app::notFoundText;
const std::wstring usbUnit = L"ROOT\\VID_0483&PID_A110\\7&50A6&0&0000";
const std::wstring shownUsb = L"QVUSB0-000000-000000-000007";
const std::wstring checking = app::checkingText;

struct Phase {
    const wchar_t* name;
    std::vector<SimulatedUnit> units;
    std::vector<Fault> faults;
    DWORD busyMs;
    bool serviceUp;
    bool flapping;
};

std::vector<Phase> phases()
{
    const SimulatedUnit a = simulator::makeUnit(serialA);
    const SimulatedUnit b = simulator::makeUnit(serialB, 1, 0xA110, L"Quorvel Motion", app::partnerManufacturer);
    return {
        {L"normal unit", {a}, {}, 0, true, false},
        {L"two units", {b, a}, {}, 0, true, false},
        {L"absent service", {}, {}, 0, false, false},
        {L"busy pipe", {a}, {}, INFINITE, true, false},
        {L"late replies", {a, b}, {simulator::delayReply(700).on(service::QuerySerial, 0)}, 0, true, false},
        {L"wrong sequences", {a, b}, {simulator::wrongSequence().on(service::QueryDeviceIds, 0)}, 0, true, false},
        {L"wrong lengths", {a}, {simulator::wrongLength(263).on(service::QueryDeviceCount)}, 0, true, false},
        {L"flapping", {a}, {}, 0, true, true},
    };
}

// Drives the simulator through the phases until told to stop.
class Scenario {
public:
    explicit Scenario(DWORD phaseMs) : phaseMs_(phaseMs) {}
    ~Scenario() { stop(); }

    void start() { thread_ = std::thread([this] { run(); }); }
    void stop()
    {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int cycles() const { return cycles_; }

private:
    void run()
    {
        const std::vector<Phase> all = phases();
        for (std::size_t n = 0; !stopping_; ++n) {
            const Phase& phase = all[n % all.size()];
            if (n % all.size() == 0 && n)
                ++cycles_;
            std::unique_ptr<simulator::PlatformServiceSimulator> server;
            auto makeServer = [&] {
                simulator::SimulatorConfig config;
                config.pipeName = service::productPipeName;
                config.units = phase.units;
                config.faults = phase.faults;
                config.busyMs = phase.busyMs;
                server = std::make_unique<simulator::PlatformServiceSimulator>(config);
                server->start();
            };
            if (phase.serviceUp)
                makeServer();
            const DWORD end = GetTickCount() + phaseMs_;
            bool up = phase.serviceUp;
            while (!stopping_ && static_cast<LONG>(end - GetTickCount()) > 0) {
                Sleep(phase.flapping ? 400 : 50);
                if (phase.flapping) {
                    if (up)
                        server.reset();
                    else
                        makeServer();
                    up = !up;
                }
            }
        }
    }

    DWORD phaseMs_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> cycles_{0};
    std::thread thread_;
};

// Plugs a virtual HID unit in and out every few seconds, whatever the service
// is doing meanwhile: shown when the service has nothing to say.
class UnitFlapper {
public:
    ~UnitFlapper() { stop(); }
    void start()
    {
        thread_ = std::thread([this] {
            for (bool in = true; !stopping_; in = !in) {
                if (in)
                    virtual_units::addHidUnit(usbUnit, {L"Manufacturer=Tervalis", L"Product=Quorvel Motion",
                                                        L"Serial=QVUSB0000000000000000007"});
                else
                    virtual_units::removeUnit(usbUnit);
                for (int i = 0; i < 50 && !stopping_; ++i)
                    Sleep(100);
            }
            virtual_units::removeUnit(usbUnit);
        });
    }
    void stop()
    {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

struct Checks {
    int passed = 0;
    int failed = 0;
    void expect(bool ok, const char* what)
    {
        std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
        ok ? ++passed : ++failed;
    }
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    double minutes = 10;
    std::wstring exe = uidriver::buildPath(L"\\app\\Tervalis_Quorvel_soak.exe");
    bool units = false;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--units") == 0)
            units = true;
        else if (std::wcscmp(argv[i], L"--minutes") == 0 && i + 1 < argc)
            minutes = std::wcstod(argv[++i], nullptr);
        else if (std::wcscmp(argv[i], L"--exe") == 0 && i + 1 < argc)
            exe = argv[++i];
    }
    const DWORD totalMs = static_cast<DWORD>(minutes * 60000);
    const DWORD sampleMs = totalMs >= 120000 ? 60000 : std::max<DWORD>(totalMs / 4, 5000);
    const std::wstring logPath = diag::logFolderPath(diag::LogFolderLocalAppData) + L"\\Tervalis_Quorvel.log";
    const std::size_t logStart = testing_support::readFileBytes(logPath).size();

    Scenario scenario(8000);
    scenario.start();
    UnitFlapper flapper;
    if (units)
        flapper.start();

    uidriver::ChildProcess process = uidriver::ChildProcess::start(exe);
    if (!process) {
        std::printf("FAIL: cannot start %s (error %lu)\n", narrow(exe).c_str(), GetLastError());
        return 1;
    }
    HWND window = uidriver::waitForMainWindow(15000);
    Checks checks;
    checks.expect(window != nullptr, "the window appears");
    if (!window) {
        process.end(1);
        return 1;
    }

    std::set<std::wstring> allowed = {shownA, shownB, notFound, checking};
    if (units)
        allowed.insert(shownUsb);
    std::map<std::wstring, int> seen;
    std::vector<soak::ProcessSample> samples;
    bool crashed = false;
    const DWORD start = GetTickCount();
    DWORD nextSample = start;
    std::printf("minute  handles  windows  private-bytes  gdi  user  texts-so-far\n");
    while (GetTickCount() - start < totalMs) {
        if (!process.running()) {
            crashed = true;
            break;
        }
        // A scan against a busy pipe holds the tool for up to 1.5 s; give the click time.
        const std::wstring shown = uidriver::copyShownText(window, 6000).value_or(L"<no clipboard text>");
        ++seen[shown];
        if (!allowed.count(shown))
            std::printf("unexpected text: %s\n", narrow(shown).c_str());
        if (static_cast<LONG>(GetTickCount() - nextSample) >= 0) {
            const soak::ProcessSample s = soak::sampleProcess(process.handle(), process.id());
            samples.push_back(s);
            std::printf("%6.1f  %7u  %7u  %13llu  %3u  %4u  %d\n", (GetTickCount() - start) / 60000.0,
                        s.handles, s.windows, static_cast<unsigned long long>(s.privateBytes),
                        s.gdiObjects, s.userObjects, static_cast<int>(seen.size()));
            std::fflush(stdout);
            nextSample += sampleMs;
        }
        Sleep(2000);
    }
    // The last sample is taken at rest, with the service and the unit gone, as the
    // least of a few: a scan in progress (or Wine's work on a unit just plugged
    // in) holds handles for a moment, a leak holds them for good.
    scenario.stop();
    flapper.stop();
    soak::ProcessSample last = soak::sampleProcess(process.handle(), process.id());
    for (int i = 0; i < 10 && !crashed; ++i) {
        Sleep(500);
        const soak::ProcessSample s = soak::sampleProcess(process.handle(), process.id());
        if (s.handles < last.handles)
            last = s;
    }
    samples.push_back(last);
    std::printf("%6.1f  %7u  %7u  %13llu  %3u  %4u  (end)\n", (GetTickCount() - start) / 60000.0,
                last.handles, last.windows, static_cast<unsigned long long>(last.privateBytes),
                last.gdiObjects, last.userObjects);

    checks.expect(!crashed, "the tool kept running");
    int unexpected = 0;
    for (const auto& [text, count] : seen) {
        std::printf("  shown %4d x %s\n", count, narrow(text).c_str());
        if (!allowed.count(text))
            unexpected += count;
    }
    checks.expect(unexpected == 0, "every text shown was one the service or no service stands for");
    checks.expect(seen.count(shownA) && seen.count(shownB) && seen.count(notFound),
                  "both units' serials and the not-found text were all shown");
    if (units)
        checks.expect(seen.count(shownUsb) != 0, "the virtual USB unit's serial was shown");

    // Growth after warm-up: the first sample after start-up is the baseline.
    const soak::ProcessSample& base = samples.size() > 1 ? samples[1] : samples.front();
    std::printf("after warm-up: handles %u -> %u, windows %u -> %u, private bytes %llu -> %llu\n",
                base.handles, last.handles, base.windows, last.windows,
                static_cast<unsigned long long>(base.privateBytes),
                static_cast<unsigned long long>(last.privateBytes));
    checks.expect(last.handles <= base.handles + 8, "handles do not grow (allowance 8)");
    checks.expect(last.windows == base.windows, "windows do not grow");
    checks.expect(last.privateBytes <= base.privateBytes + 2 * 1024 * 1024,
                  "private bytes do not grow (allowance 2 MiB)");

    if (!crashed) {
        uidriver::click(window, uidriver::closeButtonCentre);
        checks.expect(process.waitForExit(15000) == 0u, "Close ends the tool with exit code 0");
    }
    const std::string log = testing_support::readFileBytes(logPath).substr(logStart);
    std::printf("log entries: 2002 x%d, 2003 x%d, 2004 x%d, 2005 x%d, 2006 x%d\n",
                countOf(log, "GEC:2002"), countOf(log, "GEC:2003, X:2\r\n"), countOf(log, "GEC:2004"),
                countOf(log, "GEC:2005"), countOf(log, "GEC:2006"));
    checks.expect(countOf(log, "GEC:2003, X:2\r\n") > 0, "absent service logged as 2003 with error 2");
    checks.expect(countOf(log, "GEC:2004\r\n") > 0, "busy pipe logged as 2004");
    checks.expect(countOf(log, "GEC:2005") > 0, "late replies logged as 2005");
    checks.expect(countOf(log, " E: ") == countOf(log, " E: GEC:20"),
                  "the log holds no error entry but the service codes");
    checks.expect(countOf(log, "LOG DESTROYED") == 1, "the log was closed once");
    std::printf("scenario cycles completed: %d\n", scenario.cycles());
    std::printf("soak: %d passed, %d failed\n", checks.passed, checks.failed);
    return checks.failed == 0 ? 0 : 1;
}
