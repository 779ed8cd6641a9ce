// What a screen reader learns of the tool's windows, asked from another process
// through MSAA, and the accessibility events the tool raises.
#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>
#include <oleacc.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace uidriver {

// One accessible object: its name, value, role, state, keyboard shortcut,
// default action and description ("<none>" where the object gives none).
struct AccessibleChild {
    HWND window = nullptr;
    std::wstring name;
    std::wstring value;
    std::wstring shortcut;
    long role = 0;
    long state = 0;
    std::wstring defaultAction;
    std::wstring description;
    common::ComReference<IAccessible> object;
};

AccessibleChild accessibleChild(HWND child);
// The children of a window's client object, as a screen reader lists them
// (AccessibleChildren); window is the one each child object belongs to.
std::vector<AccessibleChild> accessibleChildren(HWND window);
// The child whose accessible name is name, or null.
HWND childNamed(HWND window, const std::wstring& name);
// CHILDID_SELF, as a VARIANT.
VARIANT self();

// Counts one kind of event (EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE) on
// client objects per window, from every process; the counts arrive while this
// thread pumps messages (pumpMessages). One counter per kind at a time.
class WinEventCounter {
public:
    explicit WinEventCounter(DWORD event);
    ~WinEventCounter();
    WinEventCounter(const WinEventCounter&) = delete;
    WinEventCounter& operator=(const WinEventCounter&) = delete;
    int count(HWND window) const;
    // The window the last event came from.
    HWND last() const;

private:
    DWORD event_;
    HWINEVENTHOOK hook_;
};

// A window's UI Automation element as a client in another process reads it
// (ElementFromHandle): its name and control type; nothing where there is no
// UI Automation client (CUIAutomation is not in Wine 8).
struct UiaElement {
    std::wstring name;
    int controlType = 0;
};
std::optional<UiaElement> uiaElement(HWND window);

// A single-threaded apartment for this thread while the object lives.
struct ComApartment {
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

} // namespace uidriver
