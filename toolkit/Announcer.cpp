#include "toolkit/Announcer.h"

#include "common/SystemLibrary.h"

#include <oleauto.h>

namespace QEL {

namespace {

// uiautomationcore.dll is not a KnownDLL: it is loaded from system32 alone, on
// the first announcement, and both functions are looked up at run time
// (UiaRaiseNotificationEvent exists from Windows 10 1709 on). The provider is
// only passed through, so IUnknown stands in for IRawElementProviderSimple.
using HostProviderFromHwnd = HRESULT(WINAPI*)(HWND, IUnknown**);
using RaiseNotificationEvent = HRESULT(WINAPI*)(IUnknown*, int kind, int processing, BSTR text, BSTR activity);
// NotificationKind and NotificationProcessing (UIAutomationCore.h, Windows 10 SDK).
constexpr int notificationKindActionCompleted = 2;
constexpr int notificationKindActionAborted = 3;
constexpr int notificationProcessingImportantMostRecent = 1;

class UiAutomationAnnouncer final : public Announcer {
public:
    void announce(HWND source, Announcement kind, const std::wstring& text) override
    {
        if (!loaded) {
            loaded = true;
            if (HMODULE core = common::loadSystemLibrary(L"uiautomationcore.dll")) {
                hostProvider = reinterpret_cast<HostProviderFromHwnd>(
                    reinterpret_cast<void*>(GetProcAddress(core, "UiaHostProviderFromHwnd")));
                raise = reinterpret_cast<RaiseNotificationEvent>(
                    reinterpret_cast<void*>(GetProcAddress(core, "UiaRaiseNotificationEvent")));
            }
        }
        IUnknown* provider = nullptr;
        if (!hostProvider || !raise || FAILED(hostProvider(source, &provider)) || !provider)
            return;
        BSTR display = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        BSTR activity = SysAllocString(L"QEL.Announcement");
        raise(provider,
              kind == Announcement::ActionCompleted ? notificationKindActionCompleted
                                                    : notificationKindActionAborted,
              notificationProcessingImportantMostRecent, display, activity);
        SysFreeString(activity);
        SysFreeString(display);
        provider->Release();
    }

private:
    bool loaded = false;
    HostProviderFromHwnd hostProvider = nullptr;
    RaiseNotificationEvent raise = nullptr;
};

std::unique_ptr<Announcer> g_announcer;

} // namespace

Announcer& announcer()
{
    if (!g_announcer)
        g_announcer = std::make_unique<UiAutomationAnnouncer>();
    return *g_announcer;
}

void setAnnouncer(std::unique_ptr<Announcer> replacement)
{
    g_announcer = std::move(replacement);
}

} // namespace QEL
