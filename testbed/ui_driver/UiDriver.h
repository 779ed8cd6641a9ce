// Drives the tool's window from another process as a user would: finds it,
// moves the real mouse onto its buttons and clicks, and reads the clipboard.
#pragma once

#include "app/MainWindow.h"

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace uidriver {

// The tool's main window class.
inline constexpr const wchar_t* mainWindowClass = app::mainWindowClassName;

// Client-area points of the main window's parts at scale 1.
inline constexpr POINT copyButtonCentre = {220, 205};
inline constexpr POINT closeButtonCentre = {430, 205};

// A path in the build folder, for programs one folder below it (tests\, testbed\, bench\):
// buildPath(L"\\app\\Tervalis_Quorvel.exe").
std::wstring buildPath(const wchar_t* relative);

// The visible main window, waiting up to timeoutMs; null when none appears.
HWND waitForMainWindow(DWORD timeoutMs);

// Moves the real cursor onto a client point of a window, with a real mouse move.
void moveMouseTo(HWND window, POINT clientPoint);
// Presses or releases the real left mouse button where the cursor is.
void pressLeftButton(bool down);

// Moves the cursor onto a client point, presses and releases the left button.
void click(HWND window, POINT clientPoint);
// Presses the left button on a client point, moves the cursor by offset in a few
// steps and releases it there.
void drag(HWND window, POINT clientPoint, POINT offset);

// Presses the keys of a chord in order and releases them in reverse, as real
// key strokes with scan codes: pressKeys({VK_SHIFT, VK_TAB}).
void pressKeys(std::initializer_list<WORD> chord);
// The window with the keyboard focus in the thread that owns window.
HWND focusedWindow(HWND window);
// Brings a window to the front so that it receives the keyboard.
bool bringToFront(HWND window);
// Dispatches this thread's messages (such as out-of-context event hooks') for ms.
void pumpMessages(DWORD ms);

// The clipboard's CF_UNICODETEXT, or nothing when it holds no text.
std::optional<std::wstring> clipboardText();
// The clipboard's whole CF_UNICODETEXT block, its terminator and anything after it included.
std::optional<std::wstring> clipboardBlock();
void clearClipboard();

// Clicks "Copy to clipboard" and returns what arrived on the clipboard within
// timeoutMs (a tool busy scanning answers the click when its scan is done).
std::optional<std::wstring> copyShownText(HWND window, DWORD timeoutMs = 1000);

// Copies the shown text until it is expected (a scan may be on its way), up to
// attempts times a quarter second apart; the last text copied.
std::wstring waitForShown(HWND window, const std::wstring& expected, int attempts = 16);

// The screen colour at a client point, as 0xRRGGBB.
unsigned pixelAt(HWND window, POINT clientPoint);
// The screen colours of width pixels to the right of a client point.
std::vector<unsigned> pixelRow(HWND window, POINT from, int width);

// The screen colours of a rectangle of a window's client area, copied at once
// (reading pixel by pixel from another process is slow): 0xRRGGBB, row by row.
struct ScreenCapture {
    int width = 0;
    int height = 0;
    std::vector<unsigned> pixels;
    unsigned at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
ScreenCapture capture(HWND window, const RECT& clientArea);

} // namespace uidriver
