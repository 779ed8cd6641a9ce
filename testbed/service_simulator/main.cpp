// platform_service_sim: serves the platform service's pipe for simulated units.
//   platform_service_sim [--unit "vendor,product,kind,manufacturer,product,serial,device"]...
//                        [--units-file FILE] [--fault KIND[:COMMAND[:INDEX[:VALUE[:TIMES]]]]]...
//                        [--busy MS|forever] [--record FILE] [--pipe NAME]
//                        [--duration SECONDS] [--stop-event NAME] [--hold-reads MS]
// It stops cleanly on Ctrl+C, when the named event is set, or after the duration.
#include "PlatformServiceSimulator.h"

#include "service/ServiceProtocol.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>

namespace {

HANDLE g_stop = nullptr;

BOOL WINAPI onConsoleControl(DWORD)
{
    SetEvent(g_stop);
    return TRUE;
}

void usage()
{
    std::fwprintf(stderr,
                  L"usage: platform_service_sim [--unit \"vendor,product,kind,manufacturer,"
                  L"product,serial,device\"]... [--units-file FILE]\n"
                  L"       [--fault KIND[:COMMAND[:INDEX[:VALUE[:TIMES]]]]]... [--busy MS|forever]\n"
                  L"       [--record FILE] [--pipe NAME] [--duration SECONDS] [--stop-event NAME]\n"
                  L"       [--hold-reads MS]\n"
                  L"fault kinds: sequence status length delay close longstring count\n");
}

// One unit per line; blank lines and lines starting with # are skipped.
bool readUnitsFile(const wchar_t* path, std::vector<simulator::SimulatedUnit>& units)
{
    FILE* file = _wfopen(path, L"r, ccs=UTF-8");
    if (!file)
        return false;
    wchar_t line[2048];
    bool ok = true;
    while (std::fgetws(line, 2048, file)) {
        std::wstring text(line);
        while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
            text.pop_back();
        if (text.empty() || text[0] == L'#')
            continue;
        simulator::SimulatedUnit unit;
        if (!simulator::parseUnit(text, unit)) {
            std::fwprintf(stderr, L"bad unit line: %ls\n", text.c_str());
            ok = false;
            break;
        }
        units.push_back(unit);
    }
    std::fclose(file);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    simulator::SimulatorConfig config;
    config.pipeName = service::productPipeName;
    DWORD durationMs = INFINITE;
    std::wstring stopEventName;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == L"--help" || option == L"-h") {
            usage();
            return 0;
        }
        if (!hasValue) {
            usage();
            return 2;
        }
        const std::wstring value = argv[++i];
        if (option == L"--unit") {
            simulator::SimulatedUnit unit;
            if (!simulator::parseUnit(value, unit)) {
                std::fwprintf(stderr, L"bad --unit: %ls\n", value.c_str());
                return 2;
            }
            config.units.push_back(unit);
        } else if (option == L"--units-file") {
            if (!readUnitsFile(value.c_str(), config.units)) {
                std::fwprintf(stderr, L"cannot read units from %ls\n", value.c_str());
                return 2;
            }
        } else if (option == L"--fault") {
            simulator::Fault fault;
            if (!simulator::parseFault(value, fault)) {
                std::fwprintf(stderr, L"bad --fault: %ls\n", value.c_str());
                return 2;
            }
            config.faults.push_back(fault);
        } else if (option == L"--busy") {
            config.busyMs = value == L"forever" ? INFINITE : std::wcstoul(value.c_str(), nullptr, 10);
        } else if (option == L"--hold-reads") {
            config.holdReadsMs = std::wcstoul(value.c_str(), nullptr, 10);
        } else if (option == L"--record") {
            config.recordFile = value;
        } else if (option == L"--pipe") {
            config.pipeName = value;
        } else if (option == L"--duration") {
            durationMs = static_cast<DWORD>(std::wcstod(value.c_str(), nullptr) * 1000);
        } else if (option == L"--stop-event") {
            stopEventName = value;
        } else {
            usage();
            return 2;
        }
    }

    g_stop = stopEventName.empty() ? CreateEventW(nullptr, TRUE, FALSE, nullptr)
                                   : CreateEventW(nullptr, TRUE, FALSE, stopEventName.c_str());
    SetConsoleCtrlHandler(onConsoleControl, TRUE);

    simulator::PlatformServiceSimulator server(config);
    if (!server.start()) {
        std::fwprintf(stderr, L"cannot serve %ls (error %lu)\n", config.pipeName.c_str(),
                      GetLastError());
        return 1;
    }
    std::wprintf(L"serving %ls with %u unit(s)\n", config.pipeName.c_str(),
                 static_cast<unsigned>(config.units.size()));
    std::fflush(stdout);
    WaitForSingleObject(g_stop, durationMs);
    server.stop();
    std::wprintf(L"stopped after %u request(s)\n", static_cast<unsigned>(server.requests().size()));
    CloseHandle(g_stop);
    return 0;
}
