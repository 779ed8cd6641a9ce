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

void CALLBACK countEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    // Wine sends OBJID_CLIENT without sign extension: compare 32 bits.
    if (static_cast<DWORD>(object) == static_cast<DWORD>(OBJID_CLIENT) && child == CHILDID_SELF)
        ++g_eventCounts[{event, window}];
}

} // namespace

VARIANT self()
{
    VARIANT id = {};
    id.vt = VT_I4;
    id.lVal = CHILDID_SELF;
    return id;
}

AccessibleChild accessibleChild(HWND child)
{
    AccessibleChild result;
    result.window = child;
    IAccessible* raw = nullptr;
    if (FAILED(AccessibleObjectFromWindow(child, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&raw))))
        return result;
    result.object.reset(raw);
    BSTR text = nullptr;
    raw->get_accName(self(), &text);
    result.name = takeBstr(text);
    text = nullptr;
    raw->get_accValue(self(), &text);
    result.value = takeBstr(text);
    text = nullptr;
    raw->get_accKeyboardShortcut(self(), &text);
    result.shortcut = takeBstr(text);
    text = nullptr;
    raw->get_accDefaultAction(self(), &text);
    result.defaultAction = takeBstr(text);
    VARIANT value = {};
    if (SUCCEEDED(raw->get_accRole(self(), &value)) && value.vt == VT_I4)
        result.role = value.lVal;
    if (SUCCEEDED(raw->get_accState(self(), &value)) && value.vt == VT_I4)
        result.state = value.lVal;
    return result;
}

std::vector<AccessibleChild> accessibleChildren(HWND window)
{
    std::vector<AccessibleChild> children;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(accessibleChild(child));
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
    for (auto it = g_eventCounts.begin(); it != g_eventCounts.end();)
        it = it->first.first == event ? g_eventCounts.erase(it) : std::next(it);
}

WinEventCounter::~WinEventCounter()
{
    UnhookWinEvent(hook_);
}

int WinEventCounter::count(HWND window) const
{
    const auto found = g_eventCounts.find({event_, window});
    return found == g_eventCounts.end() ? 0 : found->second;
}

} // namespace uidriver
