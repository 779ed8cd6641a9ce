// Helpers for toolkit tests with real windows under Xvfb: an application per
// test, a message pump, screen pixels, and real mouse input.
#pragma once

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

// The colour on screen at a client point of a window, as 0xRRGGBB.
inline unsigned screenPixel(HWND hwnd, int x, int y)
{
    POINT point = {x, y};
    ClientToScreen(hwnd, &point);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// Moves the real cursor to a client point of a window.
inline void mouseMoveTo(HWND hwnd, int x, int y)
{
    POINT point = {x, y};
    ClientToScreen(hwnd, &point);
    SetCursorPos(point.x, point.y);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    const int width = GetSystemMetrics(SM_CXSCREEN) - 1;
    const int height = GetSystemMetrics(SM_CYSCREEN) - 1;
    input.mi.dx = static_cast<LONG>((point.x * 65535LL + width / 2) / width);
    input.mi.dy = static_cast<LONG>((point.y * 65535LL + height / 2) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    pumpMessages(60);
}

inline void mouseButton(bool down)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof input);
    pumpMessages(60);
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
