#include "Accessibility.h"

#include <iterator>
#include <utility>

namespace uidriver {

namespace {

std::wstring takeBstr(BSTR text)
{
    std::wstring result = text ? std::wstring(text, SysStringLen(text)) : L"<none>";
    SysFreeString(text);
    return result;
}

std::map<std::pair<DWORD, HWND>, int> g_eventCounts;
std::map<DWORD, HWND> g_lastWindow;

void CALLBACK countEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    // Wine sends OBJID_CLIENT without sign extension: compare 32 bits.
    if (static_cast<DWORD>(object) == static_cast<DWORD>(OBJID_CLIENT) && child == CHILDID_SELF) {
        ++g_eventCounts[{event, window}];
        g_lastWindow[event] = window;
    }
}

} // namespace

VARIANT self()
{
    VARIANT id = {};
    id.vt = VT_I4;
    id.lVal = CHILDID_SELF;
    return id;
}

namespace {

AccessibleChild describe(IAccessible* raw, const VARIANT& id)
{
    AccessibleChild result;
    BSTR text = nullptr;
    raw->get_accName(id, &text);
    result.name = takeBstr(text);
    text = nullptr;
    raw->get_accValue(id, &text);
    result.value = takeBstr(text);
    text = nullptr;
    raw->get_accKeyboardShortcut(id, &text);
    result.shortcut = takeBstr(text);
    text = nullptr;
    raw->get_accDefaultAction(id, &text);
    result.defaultAction = takeBstr(text);
    text = nullptr;
    raw->get_accDescription(id, &text);
    result.description = takeBstr(text);
    VARIANT value = {};
    if (SUCCEEDED(raw->get_accRole(id, &value)) && value.vt == VT_I4)
        result.role = value.lVal;
    if (SUCCEEDED(raw->get_accState(id, &value)) && value.vt == VT_I4)
        result.state = value.lVal;
    return result;
}

} // namespace

AccessibleChild accessibleChild(HWND child)
{
    IAccessible* raw = nullptr;
    if (FAILED(AccessibleObjectFromWindow(child, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&raw))))
    {
        AccessibleChild none;
        none.window = child;
        return none;
    }
    AccessibleChild result = describe(raw, self());
    result.window = child;
    result.object.reset(raw);
    return result;
}

std::vector<AccessibleChild> accessibleChildren(HWND window)
{
    std::vector<AccessibleChild> children;
    const AccessibleChild frame = accessibleChild(window);
    long count = 0;
    if (!frame.object || FAILED(frame.object.get()->get_accChildCount(&count)) || count <= 0)
        return children;
    std::vector<VARIANT> items(static_cast<size_t>(count));
    long got = 0;
    AccessibleChildren(frame.object.get(), 0, count, items.data(), &got);
    for (long i = 0; i < got; ++i) {
        VARIANT& item = items[static_cast<size_t>(i)];
        IAccessible* child = nullptr;
        if (item.vt == VT_DISPATCH && item.pdispVal
            && SUCCEEDED(item.pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&child)))) {
            AccessibleChild read = describe(child, self());
            WindowFromAccessibleObject(child, &read.window);
            read.object.reset(child);
            children.push_back(std::move(read));
        } else {
            children.push_back(describe(frame.object.get(), item));  // a child id of the frame's own
        }
        VariantClear(&item);
    }
    return children;
}

HWND childNamed(HWND window, const std::wstring& name)
{
    for (const AccessibleChild& child : accessibleChildren(window))
        if (child.name == name)
            return child.window;
    return nullptr;
}

WinEventCounter::WinEventCounter(DWORD event)
    : event_(event), hook_(SetWinEventHook(event, event, nullptr, &countEvent, 0, 0, WINEVENT_OUTOFCONTEXT))
{
    g_lastWindow.erase(event);
    for (auto it = g_eventCounts.begin(); it != g_eventCounts.end();)
        it = it->first.first == event ? g_eventCounts.erase(it) : std::next(it);
}

WinEventCounter::~WinEventCounter()
{
    UnhookWinEvent(hook_);
}

HWND WinEventCounter::last() const
{
    const auto found = g_lastWindow.find(event_);
    return found == g_lastWindow.end() ? nullptr : found->second;
}

// The client interfaces of UIAutomationClient.h as far as the calls below reach
// (MinGW has no declarations for them).
struct UiaElementCalls : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFocus() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirst(int, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAll(int, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirstBuildCache(int, void*, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAllBuildCache(int, void*, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE BuildUpdatedCache(void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPropertyValue(int property, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPropertyValueEx(int property, BOOL ignoreDefault, VARIANT* value) = 0;
};
struct UiaClientCalls : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CompareElements(void*, void*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareRuntimeIds(SAFEARRAY*, SAFEARRAY*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRootElement(UiaElementCalls**) = 0;
    virtual HRESULT STDMETHODCALLTYPE ElementFromHandle(HWND, UiaElementCalls**) = 0;
};

std::optional<UiaElement> uiaElement(HWND window)
{
    static const CLSID automationClass = {0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
    static const IID automationInterface = {0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
    common::ComReference<UiaClientCalls> client;
    if (FAILED(CoCreateInstance(automationClass, nullptr, CLSCTX_INPROC_SERVER, automationInterface,
                                reinterpret_cast<void**>(client.put()))))
        return std::nullopt;
    common::ComReference<UiaElementCalls> element;
    UiaElement read;
    if (FAILED(client.get()->ElementFromHandle(window, element.put())) || !element)
        return read;
    // Wine 10's GetCurrentPropertyValue is a stub; the Ex form answers.
    VARIANT value = {};
    if (SUCCEEDED(element.get()->GetCurrentPropertyValueEx(30005, TRUE, &value)) && value.vt == VT_BSTR)  // name
        read.name = std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    if (SUCCEEDED(element.get()->GetCurrentPropertyValueEx(30003, TRUE, &value)) && value.vt == VT_I4)  // control type
        read.controlType = value.lVal;
    VariantClear(&value);
    return read;
}

int WinEventCounter::count(HWND window) const
{
    const auto found = g_eventCounts.find({event_, window});
    return found == g_eventCounts.end() ? 0 : found->second;
}

} // namespace uidriver
