// The one application object of the process: starts COM, GDI+ and buffered
// painting, registers the toolkit's window classes and runs the message loop.
#pragma once

#include "toolkit/Object.h"

#include <windows.h>

#include <string>

namespace QEL {

// Window classes of the toolkit's own controls.
inline constexpr const wchar_t* controlClassName = L"QEL_AbstractControl";
inline constexpr const wchar_t* buttonClassName = L"QEL_AbstractButton";

class Application : public Object {
public:
    // paintMode 1 asks for UxTheme buffered painting. Throws std::runtime_error
    // "Application is already created!" while another application exists.
    Application(HINSTANCE instance, int paintMode);
    ~Application() override;

    static Application* current();

    HINSTANCE instance() const { return instance_; }
    bool bufferedPaint() const { return bufferedPaint_; }

    // The message loop; returns the exit code carried by WM_QUIT. Keyboard
    // messages go first to the accelerators (when given) and to the dialog
    // manager of their top-level window, which moves the focus with Tab and
    // Shift+Tab and turns Esc into WM_COMMAND IDCANCEL.
    int run(HACCEL accelerators = nullptr);

private:
    // A field takes a trailing underscore only where an accessor has its name.
    HINSTANCE instance_;
    bool bufferedPaint_ = false;
    bool comStarted = false;  // a single-threaded apartment for screen readers' calls
};

// Registers a class for the toolkit's window procedure; true when registered.
bool registerWindowClass(const std::wstring& className, HCURSOR cursor);
bool unregisterWindowClass(const std::wstring& className);

// A navigation key (Tab, an arrow) shows the top-level window's focus cues.
void showFocusCuesOnNavigation(HWND topLevel, const MSG& message);

} // namespace QEL
