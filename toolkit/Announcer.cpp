#include "toolkit/Announcer.h"

#include "common/UniqueHandle.h"
#include "toolkit/AnnouncementProvider.h"
#include "toolkit/LiveRegion.h"
#include "toolkit/Widget.h"

namespace QEL {

namespace {

// NotificationKind and NotificationProcessing (UIAutomationCore.h, Windows 10 SDK).
constexpr int notificationKindActionCompleted = 2;
constexpr int notificationKindActionAborted = 3;
constexpr int notificationProcessingImportantMostRecent = 1;

class ScreenReaderAnnouncer final : public Announcer {
public:
    explicit ScreenReaderAnnouncer(const UiAutomationCalls& calls) : calls(calls) {}

    void announce(HWND source, Announcement kind, const std::wstring& text) override
    {
        HWND root = source ? GetAncestor(source, GA_ROOT) : nullptr;
        if (!root)
            return;
        if (!belongsTo(providerWindow, root))
            providerWindow = AnnouncementProvider::createWindow(root, calls);
        if (AnnouncementProvider* provider = AnnouncementProvider::of(providerWindow)) {
            provider->setName(text);
            if (calls.raiseNotificationEvent) {
                const common::Bstr display(SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size())));
                const common::Bstr activity(SysAllocString(L"QEL.Announcement"));
                calls.raiseNotificationEvent(provider,
                                             kind == Announcement::ActionCompleted ? notificationKindActionCompleted
                                                                                   : notificationKindActionAborted,
                                             notificationProcessingImportantMostRecent, display.get(),
                                             activity.get());
            }
        }
        if (!belongsTo(liveRegionWindow, root)) {
            // The region is owned by the top-level widget and goes with it.
            Widget* owner = Widget::fromWindow(root);
            liveRegionWindow = owner ? (new LiveRegion(owner))->hwnd() : nullptr;
        }
        if (auto* region = dynamic_cast<LiveRegion*>(Widget::fromWindow(liveRegionWindow)))
            region->speak(text);
    }

private:
    // A window made for an earlier announcement may have gone with its top-level window.
    static bool belongsTo(HWND window, HWND root) { return window && IsWindow(window) && GetParent(window) == root; }

    UiAutomationCalls calls;
    HWND providerWindow = nullptr;
    HWND liveRegionWindow = nullptr;
};

std::unique_ptr<Announcer> g_announcer;

} // namespace

std::unique_ptr<Announcer> makeScreenReaderAnnouncer(const UiAutomationCalls& calls)
{
    return std::make_unique<ScreenReaderAnnouncer>(calls);
}

Announcer& announcer()
{
    if (!g_announcer)
        g_announcer = makeScreenReaderAnnouncer(systemUiAutomation());
    return *g_announcer;
}

void setAnnouncer(std::unique_ptr<Announcer> replacement)
{
    g_announcer = std::move(replacement);
}

} // namespace QEL
