// A child widget that draws one piece of text in a font, colour and format of its own.
#pragma once

#include "toolkit/Widget.h"

#include <memory>
#include <string>

namespace QEL {

class Accessible;

class Label : public Widget {
public:
    // Creates the label's window at once as a child of the parent's window; a null
    // class name means the toolkit's control class.
    explicit Label(Widget* parent, const wchar_t* className = nullptr);
    ~Label() override;

    // Stores the text, and tells screen readers when it changed; the caller asks
    // for a repaint when it wants one.
    void setText(const std::wstring& text) override;
    std::wstring text() const override;
    void paint(Gdiplus::Graphics& graphics) override;

    // Keeps a copy of the font; the caller's may go at once.
    void setFont(const Gdiplus::Font& font);
    void setColor(const Gdiplus::Color& color);

    // What a screen reader is told besides the text: static text, read-only, no action.
    virtual LONG accessibleRole() const;
    virtual LONG accessibleState() const;
    virtual std::wstring defaultAction() const { return {}; }
    // Runs the default action; false when there is none.
    virtual bool doDefaultAction() { return false; }

protected:
    void drawText(Gdiplus::Graphics& graphics);

    std::wstring labelText;
    std::unique_ptr<Gdiplus::Font> font;
    Gdiplus::Color color;
    std::unique_ptr<Gdiplus::StringFormat> format;

private:
    LRESULT onGetObject(UINT message, WPARAM wParam, LPARAM lParam);

    Accessible* accessible = nullptr;  // one reference, made on the first request
};

} // namespace QEL
