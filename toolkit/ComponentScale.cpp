#include "toolkit/ComponentScale.h"

#include "common/SystemLibrary.h"

#include <mutex>

namespace QEL {

namespace {

using SetProcessDpiAwarenessFunction = HRESULT(WINAPI*)(int);
using GetScaleFactorForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int*);

constexpr int processPerMonitorDpiAware = 2;

// Looked up once in Shcore.dll from system32, which is never freed; null when missing.
template <typename Function>
Function shcoreFunction(const char* name)
{
    HMODULE shcore = common::loadSystemLibrary(L"Shcore.dll");
    if (!shcore)
        return nullptr;
    // Through void (*)(), the one function type that converts to any other without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(shcore, name)));
}

} // namespace

int ComponentScale::toPixels(int logical) const
{
    if (logical == CW_USEDEFAULT)
        return logical;
    return static_cast<int>(static_cast<float>(logical) * scale);
}

int ComponentScale::toLogical(int pixels) const
{
    return static_cast<int>(static_cast<float>(pixels) / scale);
}

void enableDpiAwareness()
{
    static std::once_flag once;
    static SetProcessDpiAwarenessFunction setAwareness = nullptr;
    std::call_once(once, [] {
        setAwareness = shcoreFunction<SetProcessDpiAwarenessFunction>("SetProcessDpiAwareness");
    });
    if (setAwareness)
        setAwareness(processPerMonitorDpiAware);
    else
        SetProcessDPIAware();
}

float scaleForFactor(int deviceScaleFactor)
{
    static const struct {
        int factor;
        float scale;
    } table[] = {{120, 1.2f}, {125, 1.25f}, {140, 1.4f}, {150, 1.5f}, {160, 1.6f},
                 {175, 1.75f}, {180, 1.8f}, {200, 2.0f}, {225, 2.25f}, {250, 2.5f},
                 {300, 3.0f}, {350, 3.5f}, {400, 4.0f}, {450, 4.5f}, {500, 5.0f}};
    for (const auto& row : table) {
        if (row.factor == deviceScaleFactor)
            return row.scale;
    }
    return 1.0f;
}

float screenScaleFactor()
{
    static std::once_flag once;
    static GetScaleFactorForMonitorFunction getFactor = nullptr;
    std::call_once(once, [] {
        getFactor = shcoreFunction<GetScaleFactorForMonitorFunction>("GetScaleFactorForMonitor");
    });
    if (!getFactor)
        return 1.0f;
    HMONITOR primary = MonitorFromWindow(GetDesktopWindow(), MONITOR_DEFAULTTOPRIMARY);
    int factor = 0;
    if (getFactor(primary, &factor) != S_OK)
        return 1.0f;
    return scaleForFactor(factor);
}

} // namespace QEL
