#include "toolkit/Button.h"

#include "toolkit/Application.h"

namespace QEL {

Button::Button(Widget* parent) : Label(parent, buttonClassName)
{
    addHandler(WM_MOUSELEAVE, &Button::onMouseLeave);
    addHandler(WM_MOUSEMOVE, &Button::onMouseMove);
    addHandler(WM_LBUTTONDOWN, &Button::onLeftButtonDown);
    addHandler(WM_LBUTTONUP, &Button::onLeftButtonUp);
    addHandler(WM_CAPTURECHANGED, &Button::onCaptureChanged);
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
        if (cursor.x >= 0 && cursor.x < size.cx && cursor.y >= 0 && cursor.y < size.cy && onClick)
            onClick();
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

void Button::paint(Gdiplus::Graphics& graphics)
{
    const Gdiplus::ARGB fill = pressed ? pressedFill : hovered ? hoveredFill : idleFill;
    Gdiplus::SolidBrush brush{Gdiplus::Color(fill)};
    graphics.FillRectangle(&brush, clientRectF());
    drawText(graphics);
}

} // namespace QEL
