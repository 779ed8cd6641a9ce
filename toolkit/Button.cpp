#include "toolkit/Button.h"

#include "toolkit/Application.h"

#include <oleacc.h>

namespace QEL {

Button::Button(Widget* parent) : Label(parent, buttonClassName)
{
    addHandler(WM_MOUSELEAVE, &Button::onMouseLeave);
    addHandler(WM_MOUSEMOVE, &Button::onMouseMove);
    addHandler(WM_LBUTTONDOWN, &Button::onLeftButtonDown);
    addHandler(WM_LBUTTONUP, &Button::onLeftButtonUp);
    addHandler(WM_CAPTURECHANGED, &Button::onCaptureChanged);
    addHandler(WM_KEYDOWN, &Button::onKeyDown);
    addHandler(BM_CLICK, &Button::onClickRequest);
    SetWindowLongW(hwnd(), GWL_STYLE, GetWindowLongW(hwnd(), GWL_STYLE) | WS_TABSTOP);
    color = palette::buttonText;
    format->SetAlignment(Gdiplus::StringAlignmentCenter);
    format->SetLineAlignment(Gdiplus::StringAlignmentCenter);
}

Button::~Button()
{
    onClick = nullptr;
}

LRESULT Button::onMouseMove(UINT, WPARAM, LPARAM)
{
    if (!hovered) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = hwnd();
        track.dwHoverTime = HOVER_DEFAULT;
        TrackMouseEvent(&track);
    }
    hovered = true;
    invalidate();
    return 0;
}

LRESULT Button::onMouseLeave(UINT, WPARAM, LPARAM)
{
    hovered = false;
    invalidate();
    return 0;
}

LRESULT Button::onLeftButtonDown(UINT, WPARAM, LPARAM)
{
    pressed = true;
    SetCapture(hwnd());
    invalidate();
    return 0;
}

LRESULT Button::onLeftButtonUp(UINT, WPARAM, LPARAM)
{
    POINT cursor;
    if (pressed && hovered && GetCursorPos(&cursor)) {
        ScreenToClient(hwnd(), &cursor);
        const SIZE size = pixelSize();
        // The right and bottom edges are outside.
        if (cursor.x >= 0 && cursor.x < size.cx && cursor.y >= 0 && cursor.y < size.cy)
            click();
    }
    ReleaseCapture();
    pressed = false;
    invalidate();
    return 0;
}

// Another window took the mouse (a dialog, Alt+Tab): the press is over, so a
// later release over the button is not a click.
LRESULT Button::onCaptureChanged(UINT, WPARAM, LPARAM)
{
    if (pressed) {
        pressed = false;
        invalidate();
    }
    return 0;
}

// Enter and Space are the button's own; Tab and Esc stay with the dialog manager.
LRESULT Button::dialogCode(WPARAM wParam) const
{
    return wParam == VK_RETURN || wParam == VK_SPACE ? DLGC_WANTMESSAGE : 0;
}

LRESULT Button::onKeyDown(UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool repeat = (lParam & (1 << 30)) != 0;  // held down: one click only
    if ((wParam == VK_RETURN || wParam == VK_SPACE) && !repeat) {
        click();
        return 0;
    }
    return callDefault(message, wParam, lParam);
}

// BM_CLICK, as a screen reader's default action sends it: the action runs from the
// message loop, not inside the reader's call.
LRESULT Button::onClickRequest(UINT, WPARAM, LPARAM)
{
    click();
    return 0;
}

void Button::click()
{
    if (onClick)
        onClick();
}

AccessibleDescription Button::describe() const
{
    AccessibleDescription description = Label::describe();
    description.role = ROLE_SYSTEM_PUSHBUTTON;
    description.state = STATE_SYSTEM_FOCUSABLE | (GetFocus() == hwnd() ? STATE_SYSTEM_FOCUSED : 0)
                      | (pressed ? STATE_SYSTEM_PRESSED : 0);
    description.action = L"Press";
    return description;
}

bool Button::doDefaultAction()
{
    return PostMessageW(hwnd(), BM_CLICK, 0, 0) != FALSE;
}

void Button::paint(Gdiplus::Graphics& graphics)
{
    const bool lit = pressed || hovered;
    Gdiplus::SolidBrush brush(resolve(pressed   ? palette::buttonPressed
                                      : hovered ? palette::buttonHovered
                                                : palette::buttonIdle));
    const Gdiplus::RectF area = clientRectF();
    graphics.FillRectangle(&brush, area);
    // Inside the edge: the last column and row are width - 1 and height - 1.
    Gdiplus::Pen border(resolve(palette::buttonBorder), 1.0f);
    graphics.DrawRectangle(&border, area.X, area.Y, area.Width - 1, area.Height - 1);
    drawText(graphics, lit ? palette::buttonLitText : color);
    // Only the keyboard gives a button the focus; the mouse path never draws this.
    drawFocusCue(graphics, lit ? palette::buttonLitFocusFrame : palette::buttonFocusFrame);
}

} // namespace QEL
