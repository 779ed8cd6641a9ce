#include "UiDriver.h"

#include <iterator>

namespace uidriver {

namespace {

void sendMouse(DWORD flags, POINT screen)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        const int width = GetSystemMetrics(SM_CXSCREEN) - 1;
        const int height = GetSystemMetrics(SM_CYSCREEN) - 1;
        input.mi.dx = static_cast<LONG>((screen.x * 65535LL + width / 2) / width);
        input.mi.dy = static_cast<LONG>((screen.y * 65535LL + height / 2) / height);
    }
    SendInput(1, &input, sizeof input);
}

} // namespace

std::wstring buildPath(const wchar_t* relative)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.rfind(L'\\'));  // build\tests, build\testbed or build\bench
    path.resize(path.rfind(L'\\'));  // build
    return path + relative;
}

HWND waitForMainWindow(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        HWND window = FindWindowW(mainWindowClass, nullptr);
        if (window && IsWindowVisible(window))
            return window;
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

void moveMouseTo(HWND window, POINT clientPoint)
{
    POINT screen = clientPoint;
    ClientToScreen(window, &screen);
    SetCursorPos(screen.x, screen.y);
    sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screen);
}

void pressLeftButton(bool down)
{
    sendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP, {});
}

void click(HWND window, POINT clientPoint)
{
    moveMouseTo(window, clientPoint);
    Sleep(40);
    pressLeftButton(true);
    Sleep(40);
    pressLeftButton(false);
    Sleep(60);
}

void drag(HWND window, POINT clientPoint, POINT offset)
{
    POINT screen = clientPoint;
    ClientToScreen(window, &screen);  // once: the window moves under the cursor
    moveMouseTo(window, clientPoint);
    Sleep(40);
    pressLeftButton(true);
    Sleep(40);
    constexpr int steps = 4;
    for (int step = 1; step <= steps; ++step) {
        const POINT to = {screen.x + offset.x * step / steps, screen.y + offset.y * step / steps};
        SetCursorPos(to.x, to.y);
        sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, to);
        Sleep(40);
    }
    pressLeftButton(false);
    Sleep(100);
}

void pressKeys(std::initializer_list<WORD> chord)
{
    std::vector<INPUT> inputs;
    const auto key = [](WORD vk, bool down) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        return input;
    };
    for (WORD vk : chord)
        inputs.push_back(key(vk, true));
    for (auto vk = std::rbegin(chord); vk != std::rend(chord); ++vk)
        inputs.push_back(key(*vk, false));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(150);
}

HWND focusedWindow(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

bool bringToFront(HWND window)
{
    SetForegroundWindow(window);
    for (int attempt = 0; attempt < 50 && GetForegroundWindow() != window; ++attempt)
        Sleep(20);
    return GetForegroundWindow() == window;
}

void pumpMessages(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

std::optional<std::wstring> clipboardText()
{
    std::optional<std::wstring> text = clipboardBlock();
    if (text)
        text->resize(wcsnlen(text->c_str(), text->size()));
    return text;
}

std::optional<std::wstring> clipboardBlock()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) {
            std::optional<std::wstring> text;
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
                    text = std::wstring(chars, GlobalSize(data) / sizeof(wchar_t));
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            return text;
        }
        Sleep(20);
    }
    return std::nullopt;
}

void clearClipboard()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
            return;
        }
        Sleep(20);
    }
}

std::optional<std::wstring> copyShownText(HWND window, DWORD timeoutMs)
{
    clearClipboard();
    click(window, copyButtonCentre);
    const DWORD start = GetTickCount();
    do {
        if (auto text = clipboardText())
            return text;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return std::nullopt;
}

std::wstring waitForShown(HWND window, const std::wstring& expected, int attempts)
{
    std::wstring shown;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        shown = copyShownText(window).value_or(L"<no clipboard text>");
        if (shown == expected)
            break;
        Sleep(250);
    }
    return shown;
}

unsigned pixelAt(HWND window, POINT clientPoint)
{
    return pixelRow(window, clientPoint, 1).front();
}

std::vector<unsigned> pixelRow(HWND window, POINT from, int width)
{
    POINT screen = from;
    ClientToScreen(window, &screen);
    HDC dc = GetDC(nullptr);
    std::vector<unsigned> row;
    for (int x = 0; x < width; ++x) {
        const COLORREF colour = GetPixel(dc, screen.x + x, screen.y);
        row.push_back((GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour));
    }
    ReleaseDC(nullptr, dc);
    return row;
}

ScreenCapture capture(HWND window, const RECT& clientArea)
{
    ScreenCapture shot;
    shot.width = clientArea.right - clientArea.left;
    shot.height = clientArea.bottom - clientArea.top;
    if (shot.width <= 0 || shot.height <= 0)
        return shot;
    POINT origin = {clientArea.left, clientArea.top};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, shot.width, shot.height, screen, origin.x, origin.y, SRCCOPY);
        GdiFlush();
        const auto* data = static_cast<const unsigned*>(bits);
        shot.pixels.assign(data, data + static_cast<size_t>(shot.width) * shot.height);
        for (unsigned& pixel : shot.pixels)
            pixel &= 0xFFFFFFu;
        SelectObject(memory, previous);
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

} // namespace uidriver
