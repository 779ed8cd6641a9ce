// Helpers for toolkit tests with real windows under Xvfb: an application per
// test, a message pump, screen pixels, and real mouse input.
#pragma once

#include "UiDriver.h"
#include "toolkit/Application.h"
#include "toolkit/Widget.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

namespace testing_support {

inline void pumpMessages(DWORD milliseconds = 50)
{
    const DWORD end = GetTickCount() + milliseconds;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

// Real input and the screen, through the UI driver; the window's thread then
// handles what arrived.
inline unsigned screenPixel(HWND hwnd, int x, int y)
{
    return uidriver::pixelAt(hwnd, {x, y});
}

inline void mouseMoveTo(HWND hwnd, int x, int y)
{
    uidriver::moveMouseTo(hwnd, {x, y});
    pumpMessages(60);
}

inline void mouseButton(bool down)
{
    uidriver::pressLeftButton(down);
    pumpMessages(60);
}

// Where a child widget's window stands in its parent's client area.
inline POINT positionInParent(const QEL::Widget& child)
{
    RECT rect;
    GetWindowRect(child.hwnd(), &rect);
    POINT origin = {rect.left, rect.top};
    ScreenToClient(GetParent(child.hwnd()), &origin);
    return origin;
}

// Every toolkit test runs with its own application object.
class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        application = std::make_unique<QEL::Application>(GetModuleHandleW(nullptr), paintMode());
    }
    void TearDown() override
    {
        pumpMessages(10);
        application.reset();
    }
    virtual int paintMode() const { return 1; }

    std::unique_ptr<QEL::Application> application;
};

// A top-level widget for tests: a plain popup of the control class that paints nothing.
class TestWindow : public QEL::Widget {
public:
    explicit TestWindow(int x = 20, int y = 20, int width = 260, int height = 200,
                        float scaleFactor = 1.0f, bool settle = true)
        : Widget(nullptr)
    {
        scale = scaleFactor;
        create(QEL::controlClassName, L"test", WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST, x, y, width,
               height, nullptr, nullptr);
        if (settle)
            pumpMessages(30);
    }
    void paint(Gdiplus::Graphics&) override { ++paints; }
    using Widget::addHandler;
    int paints = 0;
};

} // namespace testing_support
