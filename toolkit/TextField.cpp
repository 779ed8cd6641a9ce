#include "toolkit/TextField.h"

#include <oleacc.h>

namespace QEL {

TextField::TextField(Widget* parent) : Label(parent)
{
    SetWindowLongW(hwnd(), GWL_STYLE, GetWindowLongW(hwnd(), GWL_STYLE) | WS_TABSTOP);
}

AccessibleDescription TextField::describe() const
{
    AccessibleDescription description = Label::describe();
    description.name = captionText;
    description.role = ROLE_SYSTEM_TEXT;
    description.state = STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE | (GetFocus() == hwnd() ? STATE_SYSTEM_FOCUSED : 0);
    description.value = labelText;
    return description;
}

LRESULT TextField::dialogCode(WPARAM) const
{
    return DLGC_WANTARROWS;
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
