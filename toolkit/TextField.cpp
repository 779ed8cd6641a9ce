#include "toolkit/TextField.h"

#include <oleacc.h>

namespace QEL {

TextField::TextField(Widget* parent) : Label(parent)
{
    SetWindowLongW(hwnd(), GWL_STYLE, GetWindowLongW(hwnd(), GWL_STYLE) | WS_TABSTOP);
}

LONG TextField::accessibleRole() const
{
    return ROLE_SYSTEM_TEXT;
}

LONG TextField::accessibleState() const
{
    return STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE | (GetFocus() == hwnd() ? STATE_SYSTEM_FOCUSED : 0);
}

void TextField::announceTextChange()
{
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd(), OBJID_CLIENT, CHILDID_SELF);
}

void TextField::paint(Gdiplus::Graphics& graphics)
{
    drawText(graphics, color);
    drawFocusCue(graphics, color);
}

} // namespace QEL
