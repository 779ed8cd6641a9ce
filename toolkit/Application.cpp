#include "toolkit/Application.h"

#include "common/SystemLibrary.h"

#include "toolkit/Colours.h"
#include "toolkit/Gdiplus.h"
#include "toolkit/Widget.h"

#include <uxtheme.h>

#include <stdexcept>

namespace QEL {

namespace {

Application* g_current = nullptr;
ULONG_PTR g_token = 0;
Gdiplus::GdiplusStartupInput g_startupInput;
Gdiplus::GdiplusStartupOutput g_startupOutput;
ULONG_PTR g_hookToken = 0;

} // namespace

Application::Application(HINSTANCE instance, int paintMode) : Object(nullptr), instance_(instance)
{
    if (g_current)
        throw std::runtime_error("Application is already created!");
    comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

    if (g_token == 0) {
        // Without GDI+'s background thread, this thread drives its notifications.
        g_startupInput.SuppressBackgroundThread = TRUE;
        if (Gdiplus::GdiplusStartup(&g_token, &g_startupInput, &g_startupOutput) == Gdiplus::Ok) {
            if (g_startupOutput.NotificationHook)
                g_startupOutput.NotificationHook(&g_hookToken);
        } else {
            g_token = 0;
        }
    }
    g_current = this;
    refreshColours();

    // uxtheme.dll is delay-loaded from system32; without it every widget paints off-screen.
    if (paintMode == 1 && common::available<common::DelayLoaded::UxTheme>())
        bufferedPaint_ = SUCCEEDED(BufferedPaintInit());

    registerWindowClass(controlClassName, LoadCursorW(nullptr, IDC_ARROW));
    registerWindowClass(buttonClassName, LoadCursorW(nullptr, IDC_HAND));
}

Application::~Application()
{
    if (g_current != this)
        return;
    g_current = nullptr;
    if (bufferedPaint_)
        BufferedPaintUnInit();
    if (g_token != 0) {
        if (g_startupOutput.NotificationUnhook)
            g_startupOutput.NotificationUnhook(g_hookToken);
        Gdiplus::GdiplusShutdown(g_token);
        g_token = 0;
        g_hookToken = 0;
    }
    if (comStarted)
        CoUninitialize();
}

Application* Application::current()
{
    return g_current;
}

// Windows shows focus cues once a navigation key is pressed in a window opened
// by the mouse; Wine's dialog manager never clears the hide-focus flag. Clearing
// it here makes both alike.
void showFocusCuesOnNavigation(HWND topLevel, const MSG& message)
{
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN)
        return;
    switch (message.wParam) {
    case VK_TAB:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        if (SendMessageW(topLevel, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)
            SendMessageW(topLevel, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        break;
    default:
        break;
    }
}

int Application::run(HACCEL accelerators)
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST && message.hwnd) {
            HWND topLevel = GetAncestor(message.hwnd, GA_ROOT);
            showFocusCuesOnNavigation(topLevel, message);
            if (accelerators && TranslateAcceleratorW(topLevel, accelerators, &message))
                continue;
            if (IsDialogMessageW(topLevel, &message))
                continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

bool registerWindowClass(const std::wstring& className, HCURSOR cursor)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &Widget::windowProc;
    windowClass.hInstance = Application::current() ? Application::current()->instance() : nullptr;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className.c_str();
    return RegisterClassExW(&windowClass) != 0;
}

bool unregisterWindowClass(const std::wstring& className)
{
    HINSTANCE instance = Application::current() ? Application::current()->instance() : nullptr;
    return UnregisterClassW(className.c_str(), instance) != FALSE;
}

} // namespace QEL
