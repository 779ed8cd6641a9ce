#include "toolkit/Widget.h"

#include "diag/Log.h"
#include "toolkit/Accessible.h"
#include "toolkit/Application.h"

#include <oleacc.h>
#include <uxtheme.h>

namespace QEL {

Widget::Widget(Widget* parent) : Object(parent)
{
    if (parent)
        scale = parent->scale;
    addHandler(WM_PAINT, &Widget::onPaint);
    addHandler(WM_ERASEBKGND, &Widget::onEraseBackground);
    addHandler(WM_GETOBJECT, &Widget::onGetObject);
    addHandler(WM_UPDATEUISTATE, &Widget::onUpdateUiState);
    addHandler(WM_QUERYUISTATE, &Widget::onQueryUiState);
    // A contrast theme turned on or off, or the system colours changed: only
    // top-level windows hear of it, and they repaint their children too.
    if (!parent) {
        addHandler(WM_SETTINGCHANGE, &Widget::onColoursChanged);
        addHandler(WM_SYSCOLORCHANGE, &Widget::onColoursChanged);
        addHandler(WM_THEMECHANGED, &Widget::onColoursChanged);
        addHandler(WM_CHANGEUISTATE, &Widget::onChangeUiState);
    }
}

Widget::~Widget()
{
    // Messages sent while the window goes away must reach only the default procedure.
    handlers.clear();
    // A screen reader may keep the object longer than the widget lives.
    Accessible::disconnect(accessible);
    if (hwnd_) {
        // A child's window has usually gone with its parent's already; the system
        // then refuses the handle and nothing happens.
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    background.reset();
    backBuffer_.reset();
}

bool Widget::create(const wchar_t* className, const wchar_t* windowName, DWORD style,
                    DWORD exStyle, int x, int y, int width, int height, HMENU menu, Widget* parent)
{
    if (hwnd_)
        return false;
    HWND parentWindow = parent ? parent->hwnd_ : nullptr;
    Application* application = Application::current();
    HWND created = CreateWindowExW(exStyle, className, windowName, style, toPixels(x), toPixels(y),
                                   toPixels(width), toPixels(height), parentWindow, menu,
                                   application ? application->instance() : nullptr, this);
    hwnd_ = created;
    if (!hwnd_) {
        const DWORD error = GetLastError();
        if (diag::currentLog())
            diag::logErrorf("Build failed %d", static_cast<int>(error));
    }
    return hwnd_ != nullptr;
}

LRESULT CALLBACK Widget::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* widget = reinterpret_cast<Widget*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (widget) {
        // After WM_DESTROY the window's remaining messages go straight to the system.
        if (message == WM_DESTROY)
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return widget->dispatch(message, wParam, lParam);
    }
    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (create && create->lpCreateParams) {
            widget = static_cast<Widget*>(create->lpCreateParams);
            widget->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(widget));
            return widget->dispatch(message, wParam, lParam);
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

Widget* Widget::fromWindow(HWND window)
{
    if (!window || GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&Widget::windowProc))
        return nullptr;
    return reinterpret_cast<Widget*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void Widget::addHandler(UINT message, Handler handler)
{
    handlers.emplace(message, std::move(handler));
}

LRESULT Widget::dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto found = handlers.find(message);
    if (found != handlers.end())
        return found->second(message, wParam, lParam);
    return callDefault(message, wParam, lParam);
}

LRESULT Widget::callDefault(UINT message, WPARAM wParam, LPARAM lParam)
{
    return defaultProc(hwnd_, message, wParam, lParam);
}

void Widget::setNativeFont(WPARAM font)
{
    SendMessageW(hwnd_, WM_SETFONT, font, TRUE);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Widget::setText(const std::wstring& text)
{
    SendMessageW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    InvalidateRect(hwnd_, nullptr, FALSE);
}

std::wstring Widget::text() const
{
    wchar_t buffer[1024] = {};
    const int length = GetWindowTextW(hwnd_, buffer, 1024);
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

AccessibleDescription Widget::describe() const
{
    AccessibleDescription description;
    description.name = text();
    description.shortcut = shortcut;
    return description;
}

std::vector<Widget*> Widget::accessibleChildren() const
{
    std::vector<Widget*> found;
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        for (Object* object : children()) {
            auto* widget = dynamic_cast<Widget*>(object);
            if (widget && widget->hwnd_ == child && widget->listedToReaders())
                found.push_back(widget);
        }
    }
    return found;
}

LRESULT Widget::onGetObject(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (const LRESULT answer = Accessible::answer(*this, accessible, wParam, lParam))
        return answer;
    return callDefault(message, wParam, lParam);
}

LRESULT Widget::onColoursChanged(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_SETTINGCHANGE || wParam == SPI_SETHIGHCONTRAST) {
        refreshColours();
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    return callDefault(message, wParam, lParam);
}

bool Widget::showsFocusCue() const
{
    return hwnd_ && GetFocus() == hwnd_ && !focusCuesHidden;
}

// The window's UI state (whether focus cues show) is kept by the toolkit as
// well as by the system, because Wine keeps none. Both messages also go on to
// the default procedure: Windows decides UIS_INITIALIZE (cues shown after
// keyboard input) from its own copy of the state, so that copy must hear every
// change, and it passes WM_UPDATEUISTATE on to the children itself.
LRESULT Widget::onChangeUiState(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = callDefault(message, wParam, lParam);
    if (LOWORD(wParam) == UIS_SET || LOWORD(wParam) == UIS_CLEAR) {
        applyUiState(wParam);
        EnumChildWindows(hwnd_, [](HWND child, LPARAM state) {
            SendMessageW(child, WM_UPDATEUISTATE, static_cast<WPARAM>(state), 0);
            return TRUE;
        }, static_cast<LPARAM>(wParam));
    }
    return result;
}

LRESULT Widget::onUpdateUiState(UINT message, WPARAM wParam, LPARAM lParam)
{
    applyUiState(wParam);
    return callDefault(message, wParam, lParam);
}

// UIS_SET or UIS_CLEAR naming the hide-focus flag, alone or with others.
void Widget::applyUiState(WPARAM change)
{
    if (!(HIWORD(change) & UISF_HIDEFOCUS) || (LOWORD(change) != UIS_SET && LOWORD(change) != UIS_CLEAR))
        return;
    const bool hide = LOWORD(change) == UIS_SET;
    if (hide != focusCuesHidden)
        invalidate();
    focusCuesHidden = hide;
}

LRESULT Widget::onQueryUiState(UINT, WPARAM, LPARAM)
{
    return focusCuesHidden ? UISF_HIDEFOCUS : 0;
}

void Widget::fillBackground(Gdiplus::Graphics& graphics)
{
    if (background)
        fill(graphics, *background, backgroundColour, clientRectF());
}

LRESULT Widget::onEraseBackground(UINT, WPARAM, LPARAM)
{
    return 1;  // every pixel comes from the buffered copy
}

LRESULT Widget::onPaint(UINT, WPARAM, LPARAM)
{
    PAINTSTRUCT paintStruct;
    HDC paintDc = BeginPaint(hwnd_, &paintStruct);
    Application* application = Application::current();
    const bool buffered = application && application->bufferedPaint() && !parent();
    if (!buffered || !paintBuffered(paintDc))
        paintOffScreen(paintDc);
    EndPaint(hwnd_, &paintStruct);
    return 0;
}

bool Widget::paintBuffered(HDC paintDc)
{
    RECT client;
    GetClientRect(hwnd_, &client);
    HDC bufferDc = nullptr;
    HPAINTBUFFER buffer = BeginBufferedPaint(paintDc, &client, BPBF_TOPDOWNDIB, nullptr, &bufferDc);
    if (!buffer)
        return false;
    {
        Gdiplus::Graphics graphics(bufferDc);
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
        fillBackground(graphics);
        paint(graphics);
    }
    BufferedPaintSetAlpha(buffer, nullptr, 255);
    EndBufferedPaint(buffer, TRUE);
    return true;
}

void Widget::paintOffScreen(HDC paintDc)
{
    RECT window;
    GetWindowRect(hwnd_, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    if (width <= 0 || height <= 0)
        return;
    if (!backBuffer_ || static_cast<int>(backBuffer_->GetWidth()) != width
        || static_cast<int>(backBuffer_->GetHeight()) != height)
        backBuffer_ = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
    {
        Gdiplus::Graphics graphics(backBuffer_.get());
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
        // Transparent again: a widget without a background would otherwise draw
        // over its last paint, and the old text's soft edges would stay.
        graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
        fillBackground(graphics);
        paint(graphics);
    }
    Gdiplus::Graphics screen(paintDc);
    screen.DrawImage(backBuffer_.get(), 0, 0);
}

void Widget::move(int x, int y)
{
    SetWindowPos(hwnd_, nullptr, toPixels(x), toPixels(y), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void Widget::resize(int width, int height)
{
    SetWindowPos(hwnd_, nullptr, 0, 0, toPixels(width), toPixels(height), SWP_NOMOVE | SWP_NOZORDER);
}

SIZE Widget::pixelSize() const
{
    RECT window = {};
    GetWindowRect(hwnd_, &window);
    return {window.right - window.left, window.bottom - window.top};
}

SIZE Widget::logicalSize() const
{
    const SIZE pixels = pixelSize();
    return {toLogical(pixels.cx), toLogical(pixels.cy)};
}

Gdiplus::RectF Widget::clientRectF() const
{
    RECT client = {};
    GetClientRect(hwnd_, &client);
    return Gdiplus::RectF(static_cast<Gdiplus::REAL>(client.left),
                          static_cast<Gdiplus::REAL>(client.top),
                          static_cast<Gdiplus::REAL>(client.right - client.left),
                          static_cast<Gdiplus::REAL>(client.bottom - client.top));
}

void Widget::invalidate(bool alsoParent, const RECT* rect)
{
    if (alsoParent) {
        HWND parentWindow = GetParent(hwnd_);
        POINT origin = {0, 0};
        MapWindowPoints(hwnd_, parentWindow, &origin, 1);
        RECT client;
        GetClientRect(hwnd_, &client);
        OffsetRect(&client, origin.x, origin.y);
        InvalidateRect(parentWindow, &client, FALSE);
    }
    InvalidateRect(hwnd_, rect, FALSE);
}

void Widget::setBackground(const Colour& colour)
{
    backgroundColour = colour;
    background = std::make_unique<Gdiplus::SolidBrush>(resolve(colour));
}

void Widget::close()
{
    DestroyWindow(hwnd_);
}

} // namespace QEL
