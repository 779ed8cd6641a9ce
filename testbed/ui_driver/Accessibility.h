// What a screen reader learns of the tool's windows, asked from another process
// through MSAA, and the accessibility events the tool raises.
#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>
#include <oleacc.h>

#include <map>
#include <string>
#include <vector>

namespace uidriver {

// One window's client object: its name, value, role, state, keyboard shortcut
// and default action ("<none>" where the object gives none).
struct AccessibleChild {
    HWND window = nullptr;
    std::wstring name;
    std::wstring value;
    std::wstring shortcut;
    long role = 0;
    long state = 0;
    std::wstring defaultAction;
    common::ComReference<IAccessible> object;
};

AccessibleChild accessibleChild(HWND child);
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

private:
    DWORD event_;
    HWINEVENTHOOK hook_;
};

// A single-threaded apartment for this thread while the object lives.
struct ComApartment {
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

} // namespace uidriver
