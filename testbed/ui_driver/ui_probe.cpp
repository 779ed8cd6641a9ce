// ui_probe: finds the tool's window and reports on it as a user would see it.
//   ui_probe [--wait SECONDS] [--copy] [--close]
// Prints the window rectangle, with --copy the text the serial field shows (read
// back through the Copy button and the clipboard), and with --close clicks Close.
#include "UiDriver.h"

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    DWORD waitMs = 10000;
    bool copy = false;
    bool close = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--wait" && i + 1 < argc)
            waitMs = static_cast<DWORD>(std::wcstod(argv[++i], nullptr) * 1000);
        else if (option == L"--copy")
            copy = true;
        else if (option == L"--close")
            close = true;
        else {
            std::fwprintf(stderr, L"usage: ui_probe [--wait SECONDS] [--copy] [--close]\n");
            return 2;
        }
    }
    HWND window = uidriver::waitForMainWindow(waitMs);
    if (!window) {
        std::printf("window: not found\n");
        return 1;
    }
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("window: %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    if (copy) {
        const auto text = uidriver::copyShownText(window);
        std::string utf8;
        if (text) {
            const int size = WideCharToMultiByte(CP_UTF8, 0, text->c_str(), -1, nullptr, 0, nullptr, nullptr);
            utf8.resize(size > 0 ? size - 1 : 0);
            WideCharToMultiByte(CP_UTF8, 0, text->c_str(), -1, utf8.data(), size, nullptr, nullptr);
        }
        std::printf("serial field: %s\n", text ? utf8.c_str() : "(clipboard empty)");
    }
    if (close) {
        uidriver::click(window, uidriver::closeButtonCentre);
        for (int i = 0; i < 100 && IsWindow(window); ++i)
            Sleep(20);
        std::printf("closed: %s\n", IsWindow(window) ? "no" : "yes");
    }
    std::fflush(stdout);
    return 0;
}
