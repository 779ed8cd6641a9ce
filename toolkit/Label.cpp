#include "toolkit/Label.h"

#include "toolkit/Application.h"
#include "toolkit/Fonts.h"

#include <oleacc.h>

namespace QEL {

Label::Label(Widget* parent, const wchar_t* className)
    : Widget(parent),
      format(std::make_unique<Gdiplus::StringFormat>(0, LANG_NEUTRAL))
{
    font = makeFont(L"Arial", 8.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    // Focus cues come and go with the focus (and with the UI state: Widget).
    addHandler(WM_SETFOCUS, &Label::onFocusChanged);
    addHandler(WM_KILLFOCUS, &Label::onFocusChanged);
    addHandler(WM_GETDLGCODE, &Label::onGetDialogCode);
    // Starts at 0, 0 with no size until the owner moves and resizes it.
    create(className ? className : controlClassName, L"", WS_CHILD | WS_VISIBLE, 0, CW_USEDEFAULT,
           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, parent);
}

Label::~Label() = default;

void Label::setText(const std::wstring& text)
{
    if (text == labelText)
        return;
    labelText = text;
    // A window not shown yet has nobody to tell (the labels get their texts before
    // the main window appears).
    if (hwnd() && IsWindowVisible(hwnd()))
        announceTextChange();
}

void Label::announceTextChange()
{
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd(), OBJID_CLIENT, CHILDID_SELF);
}

LRESULT Label::onFocusChanged(UINT, WPARAM, LPARAM)
{
    invalidate();
    return 0;
}

LRESULT Label::onGetDialogCode(UINT, WPARAM wParam, LPARAM)
{
    return dialogCode(wParam);
}

LRESULT Label::dialogCode(WPARAM) const
{
    return DLGC_STATIC;
}

AccessibleDescription Label::describe() const
{
    AccessibleDescription description = Widget::describe();
    description.role = ROLE_SYSTEM_STATICTEXT;
    description.state = STATE_SYSTEM_READONLY;
    return description;
}

std::wstring Label::text() const
{
    return labelText;
}

void Label::setFont(const Gdiplus::Font& newFont)
{
    font.reset(newFont.Clone());
}

void Label::setColor(const Colour& newColor)
{
    color = newColor;
}

void Label::drawText(Gdiplus::Graphics& graphics, const Colour& textColour)
{
    Gdiplus::SolidBrush brush(resolve(textColour));
    graphics.DrawString(labelText.c_str(), -1, font.get(), clientRectF(), format.get(), &brush);
}

void Label::drawFocusCue(Gdiplus::Graphics& graphics, const Colour& colour)
{
    if (!showsFocusCue())
        return;
    Gdiplus::Pen pen(resolve(colour), scale);
    pen.SetDashStyle(Gdiplus::DashStyleDot);
    const Gdiplus::RectF area = clientRectF();
    const Gdiplus::REAL inset = focusInset * scale;
    graphics.DrawRectangle(&pen, area.X + inset, area.Y + inset, area.Width - 2 * inset - 1,
                           area.Height - 2 * inset - 1);
}

void Label::paint(Gdiplus::Graphics& graphics)
{
    drawText(graphics, color);
}

} // namespace QEL
