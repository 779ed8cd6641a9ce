// floor_window: the start-up the design itself costs, and nothing more, as the
// baseline for the tool's start-up. In the tool's order: one running copy (a
// named mutex), the log opened with its opening lines (LogLevel read from the
// registry), DPI awareness from Shcore, COM, GDI+ and buffered painting, the
// three window classes, the main window (created framed, then its frame removed
// and centred) with its icons, accelerators and six children (each with its
// default font, then its own font), the PNG logo decoded, the timer started,
// and the first frame painted: the main window through buffered painting, each
// child through a back buffer of its own. Plain Win32 and GDI+ calls, no toolkit.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlobj.h>
#include <uxtheme.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int width = 650;
constexpr int height = 232;
FILE* logFile = nullptr;
std::unique_ptr<Gdiplus::Bitmap> logo;
std::vector<std::unique_ptr<Gdiplus::Font>> fonts;

void openLog()
{
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder);
    const std::wstring logs = std::wstring(folder) + L"\\QuorvelBench\\Logs";
    SHCreateDirectoryExW(nullptr, logs.c_str(), nullptr);
    logFile = _wfopen((logs + L"\\floor_window.log").c_str(), L"ab");
    DWORD level = 2;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, "Software\\Tervalis\\floor_window", 0, KEY_READ | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
            DWORD size = sizeof level;
            RegQueryValueExA(key, "LogLevel", nullptr, nullptr, reinterpret_cast<BYTE*>(&level), &size);
            RegCloseKey(key);
            break;
        }
    }
    if (logFile) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        for (const char* line : {"=============== LOG CREATED ===============", "PID"}) {
            std::fprintf(logFile, "%04i:%02i:%02i_%02i:%02i:%02i:%03i A: %s %lu\r\n", now.wYear, now.wMonth,
                         now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, line,
                         GetCurrentProcessId());
            std::fflush(logFile);
        }
    }
}

std::unique_ptr<Gdiplus::Bitmap> decodeLogo(HINSTANCE instance)
{
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(102), L"PNG");
    const DWORD size = resource ? SizeofResource(instance, resource) : 0;
    const void* bytes = size ? LockResource(LoadResource(instance, resource)) : nullptr;
    HGLOBAL block = bytes ? GlobalAlloc(GMEM_MOVEABLE, size) : nullptr;
    if (!block)
        return nullptr;
    memcpy(GlobalLock(block), bytes, size);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(block, TRUE, &stream);
    std::unique_ptr<Gdiplus::Bitmap> decoded(new Gdiplus::Bitmap(stream));
    auto own = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(decoded->GetWidth()),
                                                 static_cast<INT>(decoded->GetHeight()), PixelFormat32bppARGB);
    {
        Gdiplus::Graphics copy(own.get());
        copy.DrawImage(decoded.get(), 0, 0);
    }
    decoded.reset();
    stream->Release();
    return own;
}

void paintChild(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    Gdiplus::Bitmap buffer(client.right, client.bottom, PixelFormat32bppPARGB);
    {
        Gdiplus::Graphics graphics(&buffer);
        Gdiplus::SolidBrush ink(Gdiplus::Color(0xFFFFFFFF));
        const auto index = static_cast<size_t>(GetWindowLongPtrW(window, GWLP_ID)) % fonts.size();
        graphics.DrawString(L"Serial Number", -1, fonts[index].get(),
                            Gdiplus::RectF(0, 0, static_cast<Gdiplus::REAL>(client.right),
                                           static_cast<Gdiplus::REAL>(client.bottom)),
                            nullptr, &ink);
    }
    Gdiplus::Graphics(dc).DrawImage(&buffer, 0, 0);
}

void paintMain(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    HDC bufferDc = nullptr;
    HPAINTBUFFER buffer = BeginBufferedPaint(dc, &client, BPBF_TOPDOWNDIB, nullptr, &bufferDc);
    if (!buffer)
        return;
    {
        Gdiplus::Graphics graphics(bufferDc);
        Gdiplus::SolidBrush background(Gdiplus::Color(0xFF444444));
        Gdiplus::SolidBrush band(Gdiplus::Color(0xFF999999));
        Gdiplus::SolidBrush panel(Gdiplus::Color(0xFFF4F4F4));
        Gdiplus::Pen frame(Gdiplus::Color(0xFF000000), 4.0f);
        graphics.FillRectangle(&background, 0, 0, width, height);
        graphics.DrawRectangle(&frame, 0, 0, width, height);
        graphics.FillRectangle(&band, 2, 60, width - 4, 55);
        graphics.FillRectangle(&panel, 2, 115, width - 4, 65);
        if (logo)
            graphics.DrawImage(logo.get(), 503, 17);
    }
    BufferedPaintSetAlpha(buffer, nullptr, 255);
    EndBufferedPaint(buffer, TRUE);
}

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (GetParent(window))
            paintChild(window, dc);
        else
            paintMain(window, dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        if (!GetParent(window))
            PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void registerClass(HINSTANCE instance, const wchar_t* name, const wchar_t* cursor)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, cursor);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\QuorvelBench.FloorWindow");
    openLog();
    if (HMODULE shcore = LoadLibraryExW(L"Shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        using SetAwareness = HRESULT(WINAPI*)(int);
        using GetFactor = HRESULT(WINAPI*)(HMONITOR, int*);
        auto setAwareness = reinterpret_cast<SetAwareness>(reinterpret_cast<void (*)()>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
        auto getFactor = reinterpret_cast<GetFactor>(reinterpret_cast<void (*)()>(GetProcAddress(shcore, "GetScaleFactorForMonitor")));
        if (setAwareness)
            setAwareness(2);
        int factor = 100;
        if (getFactor)
            getFactor(MonitorFromWindow(GetDesktopWindow(), MONITOR_DEFAULTTOPRIMARY), &factor);
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Gdiplus::GdiplusStartupInput input;
    input.SuppressBackgroundThread = TRUE;
    Gdiplus::GdiplusStartupOutput output;
    ULONG_PTR token = 0;
    ULONG_PTR hookToken = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, &output) == Gdiplus::Ok && output.NotificationHook)
        output.NotificationHook(&hookToken);
    BufferedPaintInit();
    registerClass(instance, L"QuorvelBench_Control", IDC_ARROW);
    registerClass(instance, L"QuorvelBench_Button", IDC_HAND);
    registerClass(instance, L"QuorvelBench_FloorWindow", IDC_ARROW);

    // Created with a frame, which is then removed, and centred on the primary monitor.
    HWND window = CreateWindowExW(0, L"QuorvelBench_FloorWindow", L"floor", WS_POPUP | WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr, instance, nullptr);
    SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) & ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU));
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(primary, &monitor);
    SetWindowPos(window, nullptr, (monitor.rcMonitor.right - width) / 2, (monitor.rcMonitor.bottom - height) / 2,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    // The design's fonts: "Verdana" at three sizes, each falling back to the
    // generic sans-serif family where it is missing.
    for (float size : {30.0f, 16.0f, 14.0f}) {
        Gdiplus::FontFamily family(L"Verdana");
        const Gdiplus::FontFamily* usable = family.GetLastStatus() == Gdiplus::Ok ? &family : Gdiplus::FontFamily::GenericSansSerif();
        fonts.push_back(std::make_unique<Gdiplus::Font>(usable, size, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel));
    }
    std::vector<std::unique_ptr<Gdiplus::Font>> childFonts;
    const RECT children[] = {{8, 10, 648, 60}, {10, 70, 650, 120}, {10, 135, 55, 175},
                             {65, 135, 555, 175}, {120, 180, 320, 230}, {330, 180, 530, 230}};
    for (int id = 0; id < 6; ++id) {
        const RECT& r = children[id];
        const bool button = id >= 4;
        // Each child starts with the default font, a clone of Arial 8 px, then takes its own.
        Gdiplus::Font standard(L"Arial", 8.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
        childFonts.emplace_back(standard.Clone());
        HWND child = CreateWindowExW(0, button ? L"QuorvelBench_Button" : L"QuorvelBench_Control", L"",
                                     WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (button)
            SetWindowLongW(child, GWL_STYLE, GetWindowLongW(child, GWL_STYLE) | WS_TABSTOP);
        childFonts.back().reset(fonts[static_cast<size_t>(id) % fonts.size()]->Clone());
        SetWindowPos(child, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
        SetWindowPos(child, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    logo = decodeLogo(instance);
    SetTimer(window, 0, 1000, nullptr);
    const auto icon = [instance](int x, int y) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(x), GetSystemMetrics(y), 0));
    };
    HICON big = icon(SM_CXICON, SM_CYICON);
    HICON small = icon(SM_CXSMICON, SM_CYSMICON);
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    ACCEL copyKey = {FVIRTKEY | FCONTROL, 'C', 100};
    HACCEL accelerators = CreateAcceleratorTableW(&copyKey, 1);
    ShowWindow(window, SW_SHOWNORMAL);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST
            && (TranslateAcceleratorW(window, accelerators, &message) || IsDialogMessageW(window, &message)))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyAcceleratorTable(accelerators);
    DestroyIcon(big);
    DestroyIcon(small);
    fonts.clear();
    logo.reset();
    BufferedPaintUnInit();
    if (output.NotificationUnhook)
        output.NotificationUnhook(hookToken);
    Gdiplus::GdiplusShutdown(token);
    CoUninitialize();
    if (logFile)
        std::fclose(logFile);
    CloseHandle(mutex);
    return 0;
}
