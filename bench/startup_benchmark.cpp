// startup_benchmark: the time from process start to the first painted frame of
// the tool, beside the same for the floor window (floor_window.cpp: the start-up
// the design itself costs), the two started back to back in every round. Closing the window and the process's end are
// not part of the span.
#include "BenchmarkSupport.h"
#include "ChildProcess.h"
#include "UiDriver.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Starts the program and waits until its window shows the background colour at
// a point no text covers; returns the milliseconds, or -1.
double firstFrameMs(const std::wstring& exe, const wchar_t* windowClass)
{
    const double start = bench::nowMs();
    uidriver::ChildProcess process = uidriver::ChildProcess::start(exe);
    if (!process)
        return -1;
    double elapsed = -1;
    while (bench::nowMs() - start < 15000) {
        HWND window = FindWindowW(windowClass, nullptr);
        if (window && IsWindowVisible(window)) {
            POINT point = {600, 5};
            ClientToScreen(window, &point);
            HDC dc = GetDC(nullptr);
            const COLORREF colour = GetPixel(dc, point.x, point.y);
            ReleaseDC(nullptr, dc);
            if (colour == RGB(0x44, 0x44, 0x44)) {
                elapsed = bench::nowMs() - start;
                PostMessageW(window, WM_CLOSE, 0, 0);
                break;
            }
        }
        Sleep(1);
    }
    process.waitForExit(10000);
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 9;
    const std::wstring tool = uidriver::ChildProcess::productPath();
    const std::wstring floor = uidriver::buildPath(L"\\bench\\floor_window.exe");
    const bench::Comparison c = bench::interleaved(
        runs, std::function<double()>([&] { return firstFrameMs(tool, uidriver::mainWindowClass); }),
        std::function<double()>([&] { return firstFrameMs(floor, L"QuorvelBench_FloorWindow"); }));
    std::printf("%d rounds, milliseconds from process start to first painted frame (medians)\n", runs);
    bench::printComparison("tool", "floor window", c);
    return 0;
}
