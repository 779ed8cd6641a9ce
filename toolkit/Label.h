// A child widget that draws one piece of text in a font, colour and format of its own.
#pragma once

#include "toolkit/Widget.h"

#include <memory>
#include <string>

namespace QEL {

class Label : public Widget {
public:
    // Creates the label's window at once as a child of the parent's window; a null
    // class name means the toolkit's control class.
    explicit Label(Widget* parent, const wchar_t* className = nullptr);
    ~Label() override;

    // Stores the text; the caller asks for a repaint when it wants one.
    void setText(const std::wstring& text) override;
    std::wstring text() const override;
    void paint(Gdiplus::Graphics& graphics) override;

    // Keeps a copy of the font; the caller's may go at once.
    void setFont(const Gdiplus::Font& font);
    void setColor(const Gdiplus::Color& color);


protected:
    void drawText(Gdiplus::Graphics& graphics);

    std::wstring labelText;
    std::unique_ptr<Gdiplus::Font> font_;
    Gdiplus::Color color;
    std::unique_ptr<Gdiplus::StringFormat> format;
};

} // namespace QEL
