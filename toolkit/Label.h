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

    // Stores the text, and tells screen readers when it changed; the caller asks
    // for a repaint when it wants one.
    void setText(const std::wstring& text) override;
    std::wstring text() const override;
    void paint(Gdiplus::Graphics& graphics) override;

    // Keeps a copy of the font; the caller's may go at once.
    void setFont(const Gdiplus::Font& font);
    // The text's colour, a palette entry (Colours.h).
    void setColor(const Colour& color);

    // Read as static text, read-only, with no action.
    AccessibleDescription describe() const override;

    static constexpr int focusInset = 4;  // logical units inside the edge

protected:
    // The text in its font and format, in the colour given.
    void drawText(Gdiplus::Graphics& graphics, const Colour& textColour);
    // The dotted focus rectangle, while the widget shows a focus cue.
    void drawFocusCue(Gdiplus::Graphics& graphics, const Colour& colour);
    // Tells screen readers that the text changed (for a label, its name).
    virtual void announceTextChange();
    // WM_GETDLGCODE's answer: a label is static text, which the dialog
    // manager's arrow keys pass over.
    virtual LRESULT dialogCode(WPARAM key) const;

    std::wstring labelText;
    std::unique_ptr<Gdiplus::Font> font;
    Colour color = palette::textOnLight;
    std::unique_ptr<Gdiplus::StringFormat> format;

private:
    LRESULT onFocusChanged(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onGetDialogCode(UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace QEL
