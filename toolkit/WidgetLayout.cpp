// The widget's placement helpers: its frame, its place on the screen, and rows
// of child widgets in logical units.
#include "toolkit/Widget.h"

namespace QEL {

void Widget::removeFrame()
{
    const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
    SetWindowLongW(hwnd_, GWL_STYLE,
                   style & ~(WS_CAPTION | WS_THICKFRAME | WS_MINIMIZE | WS_MAXIMIZE | WS_SYSMENU));
    const LONG exStyle = GetWindowLongW(hwnd_, GWL_EXSTYLE);
    SetWindowLongW(hwnd_, GWL_EXSTYLE,
                   exStyle & ~(WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
    // The system keeps the old frame's client area until it is told the frame
    // changed; without this the client area stays inset by a caption nobody draws.
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Widget::centerOnScreen()
{
    HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoW(primary, &info);
    const SIZE size = pixelSize();
    const POINT origin = centredOn(info, size);
    SetWindowPos(hwnd_, nullptr, origin.x, origin.y, size.cx, size.cy, SWP_NOSIZE | SWP_NOZORDER);
}

POINT Widget::centredOn(const MONITORINFO& monitor, SIZE window)
{
    // The primary monitor's rectangle starts at the screen origin.
    return {(monitor.rcMonitor.right - monitor.rcMonitor.left - window.cx) / 2,
            (monitor.rcMonitor.bottom - monitor.rcMonitor.top - window.cy) / 2};
}

void Widget::layoutRow(int x, int y, int spacing, const std::vector<Widget*>& widgets)
{
    for (Widget* widget : widgets) {
        widget->move(x, y);
        x += widget->logicalSize().cx + spacing;
    }
}

void Widget::centerRow(int y, int spacing, const std::vector<Widget*>& widgets)
{
    const int containerWidth = logicalSize().cx;
    int total = 0;
    for (Widget* widget : widgets)
        total += widget->logicalSize().cx + spacing;
    if (total < spacing)
        return;
    int x = (containerWidth - total + spacing) / 2;
    for (Widget* widget : widgets) {
        widget->move(x, y);
        x += widget->logicalSize().cx + spacing;
    }
}

} // namespace QEL
