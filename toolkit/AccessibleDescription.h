// What a widget tells a screen reader about itself, in one place: the COM
// object (Accessible.h) only reads this.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <optional>
#include <string>

namespace QEL {

struct AccessibleDescription {
    std::wstring name;
    LONG role = ROLE_SYSTEM_CLIENT;
    LONG state = 0;                      // STATE_SYSTEM_INVISIBLE is added for a hidden window
    std::optional<std::wstring> value;   // none: the system's answer
    std::wstring shortcut;               // empty: the system's answer
    std::wstring action;                 // the default action's name; empty: none
    std::wstring description;            // empty: the system's answer
};

} // namespace QEL
