// A flat, custom-drawn push button: a label with centred text whose fill tracks
// the mouse, and a click action run on press and release over it. It is a tab
// stop: with the keyboard focus it shows a focus rectangle (once the keyboard
// has been used), and Enter or Space clicks it. Its colours are the palette's
// button entries (Colours.h); under a contrast theme it has a border.
#pragma once

#include "toolkit/Label.h"

#include <functional>

namespace QEL {

class Button : public Label {
public:
    explicit Button(Widget* parent);
    ~Button() override;

    void paint(Gdiplus::Graphics& graphics) override;

    // A push button whose default action, "Press", clicks it.
    AccessibleDescription describe() const override;
    bool doDefaultAction() override;

    std::function<void()> onClick;

    bool isHovered() const { return hovered; }
    bool isPressed() const { return pressed; }

private:
    LRESULT onMouseLeave(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMouseMove(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onLeftButtonDown(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onLeftButtonUp(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onCaptureChanged(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onKeyDown(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onClickRequest(UINT message, WPARAM wParam, LPARAM lParam);
    void click();
    LRESULT dialogCode(WPARAM key) const override;

    bool hovered = false;
    bool pressed = false;
};

} // namespace QEL
