#include "toolkit/Label.h"

#include "toolkit/Accessible.h"
#include "toolkit/Application.h"
#include "toolkit/Fonts.h"

#include <oleacc.h>

namespace QEL {

Label::Label(Widget* parent, const wchar_t* className)
    : Widget(parent),
      color(0xFF000000),
      format(std::make_unique<Gdiplus::StringFormat>(0, LANG_NEUTRAL))
{
    font = makeFont(L"Arial", 8.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    addHandler(WM_GETOBJECT, &Label::onGetObject);
    // Starts at 0, 0 with no size until the owner moves and resizes it.
    create(className ? className : controlClassName, L"", WS_CHILD | WS_VISIBLE, 0, CW_USEDEFAULT,
           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, parent);
}

Label::~Label()
{
    // A screen reader may keep the object longer than the label lives.
    Accessible::disconnect(accessible);
}

void Label::setText(const std::wstring& text)
{
    if (text == labelText)
        return;
    labelText = text;
    // A window not shown yet has nobody to tell (the labels get their texts before
    // the main window appears).
    if (hwnd() && IsWindowVisible(hwnd()))
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd(), OBJID_CLIENT, CHILDID_SELF);
}

LONG Label::accessibleRole() const
{
    return ROLE_SYSTEM_STATICTEXT;
}

LONG Label::accessibleState() const
{
    return STATE_SYSTEM_READONLY;
}

LRESULT Label::onGetObject(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (const LRESULT answer = Accessible::answer(*this, accessible, wParam, lParam))
        return answer;
    return callDefault(message, wParam, lParam);
}

std::wstring Label::text() const
{
    return labelText;
}

void Label::setFont(const Gdiplus::Font& newFont)
{
    font.reset(newFont.Clone());
}

void Label::setColor(const Gdiplus::Color& newColor)
{
    color = newColor;
}

void Label::drawText(Gdiplus::Graphics& graphics)
{
    Gdiplus::SolidBrush brush(color);
    graphics.DrawString(labelText.c_str(), -1, font.get(), clientRectF(), format.get(), &brush);
}

void Label::paint(Gdiplus::Graphics& graphics)
{
    drawText(graphics);
}

} // namespace QEL
