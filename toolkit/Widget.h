// The toolkit's window-backed object: owns one window, routes its messages to
// handlers bound per message id (Widget.cpp), paints double-buffered with GDI+
// (Widget.cpp) and places itself and rows of children in logical units
// (WidgetLayout.cpp).
#pragma once

#include "toolkit/ComponentScale.h"
#include "toolkit/Accessible.h"
#include "toolkit/AccessibleDescription.h"
#include "toolkit/Colours.h"
#include "toolkit/Gdiplus.h"
#include "toolkit/Object.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace QEL {

class Widget : public Object, public ComponentScale {
public:
    using Handler = std::function<LRESULT(UINT, WPARAM, LPARAM)>;

    explicit Widget(Widget* parent);
    ~Widget() override;

    // Creates the window; coordinates in logical units (CW_USEDEFAULT passes
    // through). False when the widget already has a window or creation failed.
    bool create(const wchar_t* className, const wchar_t* windowName, DWORD style,
                DWORD exStyle, int x, int y, int width, int height, HMENU menu, Widget* parent);

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The widget of a toolkit window, or null (another kind of window, or one being destroyed).
    static Widget* fromWindow(HWND window);

    virtual void setNativeFont(WPARAM font);
    virtual void setText(const std::wstring& text);
    virtual std::wstring text() const;
    virtual void paint(Gdiplus::Graphics& graphics) = 0;

    LRESULT callDefault(UINT message, WPARAM wParam, LPARAM lParam);

    void move(int x, int y);
    void resize(int width, int height);
    SIZE logicalSize() const;
    SIZE pixelSize() const;
    Gdiplus::RectF clientRectF() const;
    void removeFrame();
    void centerOnScreen();
    // Where a window of that size stands centred on the monitor (on its whole
    // screen, not the work area a taskbar leaves).
    static POINT centredOn(const MONITORINFO& monitor, SIZE window);
    void invalidate(bool alsoParent = false, const RECT* rect = nullptr);
    // The fill under the content of every paint, from then on.
    void setBackground(const Colour& colour);
    void close();

    static void layoutRow(int x, int y, int spacing, const std::vector<Widget*>& widgets);
    void centerRow(int y, int spacing, const std::vector<Widget*>& widgets);

    // What a screen reader is told of the widget (Accessible.h reads it): by
    // default its text as the name, role "client" and its keyboard shortcut.
    virtual AccessibleDescription describe() const;
    // The child widgets a screen reader finds inside this one, in window order.
    std::vector<Widget*> accessibleChildren() const;
    // False for a widget a reader only hears of, never finds among its parent's children.
    virtual bool listedToReaders() const { return true; }
    // Runs the default action; false when there is none.
    virtual bool doDefaultAction() { return false; }
    void setKeyboardShortcut(const std::wstring& text) { shortcut = text; }

    // True while the widget has the focus and its window shows focus cues
    // (Windows hides them in a window opened by the mouse until a navigation key).
    bool showsFocusCue() const;

    HWND hwnd() const { return hwnd_; }
    // The off-screen image of the last off-screen paint (null before one).
    const Gdiplus::Bitmap* backBuffer() const { return backBuffer_.get(); }

protected:
    // Adds a handler unless the message id already has one; the first one stays.
    void addHandler(UINT message, Handler handler);

    template <typename Derived>
    void addHandler(UINT message, LRESULT (Derived::*member)(UINT, WPARAM, LPARAM))
    {
        Derived* self = static_cast<Derived*>(this);
        addHandler(message, [self, member](UINT m, WPARAM w, LPARAM l) {
            return (self->*member)(m, w, l);
        });
    }

private:
    LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onPaint(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onEraseBackground(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onGetObject(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onColoursChanged(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onChangeUiState(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onUpdateUiState(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onQueryUiState(UINT message, WPARAM wParam, LPARAM lParam);
    void applyUiState(WPARAM change);
    void fillBackground(Gdiplus::Graphics& graphics);
    bool paintBuffered(HDC paintDc);
    void paintOffScreen(HDC paintDc);

    std::map<UINT, Handler> handlers;
    HWND hwnd_ = nullptr;
    WNDPROC defaultProc = DefWindowProcW;
    std::unique_ptr<Gdiplus::Bitmap> backBuffer_;
    std::unique_ptr<Gdiplus::SolidBrush> background;  // null: no fill
    Colour backgroundColour = {};
    std::wstring shortcut;
    bool focusCuesHidden = false;
    Accessible::Reference accessible;  // made on the first request
};

} // namespace QEL
