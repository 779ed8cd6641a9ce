// The toolkit's own UI Automation element, which announcements are raised on
// (an event cannot be raised on the system's host provider): a full
// IRawElementProviderSimple served by one small, hidden, disabled child window
// of its own. The frame and the controls keep no UI Automation provider, so a
// screen reader goes on reading them through MSAA.
#pragma once

#include <windows.h>
#include <uiautomationcore.h>

#include <string>

namespace QEL {

// The UI Automation calls the toolkit makes, looked up at run time in
// uiautomationcore.dll from system32 (not a KnownDLL); any may be missing.
struct UiAutomationCalls {
    HRESULT(WINAPI* hostProviderFromHwnd)(HWND, IRawElementProviderSimple**) = nullptr;
    LRESULT(WINAPI* returnRawElementProvider)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*) = nullptr;
    // Windows 10 1709 and later.
    HRESULT(WINAPI* raiseNotificationEvent)(IRawElementProviderSimple*, int kind, int processing, BSTR text,
                                            BSTR activity) = nullptr;
    HRESULT(WINAPI* disconnectProvider)(IRawElementProviderSimple*) = nullptr;
};

// The system's, loaded on the first call.
const UiAutomationCalls& systemUiAutomation();

// UIA_TextControlTypeId (UIAutomationClient.h, Windows SDK).
inline constexpr int textControlType = 50020;

class AnnouncementProvider final : public IRawElementProviderSimple {
public:
    // Creates the window as a child of root, serving a new provider; null when
    // the calls it needs are missing or the window cannot be made.
    static HWND createWindow(HWND root, const UiAutomationCalls& calls);
    // The provider a window from createWindow serves, or null.
    static AnnouncementProvider* of(HWND window);

    // The name a client reads: the latest announcement.
    void setName(const std::wstring& text) { name = text; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IRawElementProviderSimple
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override;
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** provider) override;
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override;

private:
    explicit AnnouncementProvider(const UiAutomationCalls& calls) : calls(calls) {}
    ~AnnouncementProvider() = default;
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    LONG references = 1;
    UiAutomationCalls calls;
    HWND window = nullptr;  // null once the window is gone: every call then fails
    std::wstring name;
};

} // namespace QEL
