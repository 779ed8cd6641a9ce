#include "toolkit/Fonts.h"

#include <vector>

namespace QEL {

namespace {

std::unique_ptr<Gdiplus::Font> fontOf(const Gdiplus::FontFamily& family, float emSize, int style,
                                      Gdiplus::Unit unit)
{
    if (family.GetLastStatus() != Gdiplus::Ok || !family.IsAvailable())
        return nullptr;
    auto font = std::make_unique<Gdiplus::Font>(&family, emSize, style, unit);
    return font->GetLastStatus() == Gdiplus::Ok ? std::move(font) : nullptr;
}

// Any installed family that can draw this style (Wine may have very few).
std::unique_ptr<Gdiplus::Font> anyInstalledFont(float emSize, int style, Gdiplus::Unit unit)
{
    Gdiplus::InstalledFontCollection installed;
    const INT count = installed.GetFamilyCount();
    if (count <= 0)
        return nullptr;
    std::vector<Gdiplus::FontFamily> families(static_cast<size_t>(count));
    INT found = 0;
    installed.GetFamilies(count, families.data(), &found);
    for (INT i = 0; i < found; ++i) {
        if (!families[i].IsStyleAvailable(style))
            continue;
        if (auto font = fontOf(families[i], emSize, style, unit))
            return font;
    }
    return nullptr;
}

} // namespace

std::unique_ptr<Gdiplus::Font> makeFont(const std::wstring& family, float emSize, int style,
                                        Gdiplus::Unit unit)
{
    Gdiplus::FontFamily named(family.c_str());
    if (auto font = fontOf(named, emSize, style, unit))
        return font;
    // The published wrapper would fall back to the generic sans-serif family; the
    // one this program is built with does not, so do it here.
    if (const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif()) {
        if (auto font = fontOf(*generic, emSize, style, unit))
            return font;
    }
    if (auto font = anyInstalledFont(emSize, style, unit))
        return font;
    // Nothing can draw: keep a font object whose status says so.
    return std::make_unique<Gdiplus::Font>(family.c_str(), emSize, style, unit);
}

std::wstring fontFamilyName(const Gdiplus::Font& font)
{
    Gdiplus::FontFamily family;
    if (font.GetFamily(&family) != Gdiplus::Ok)
        return {};
    wchar_t name[LF_FACESIZE] = {};
    family.GetFamilyName(name);
    return name;
}

} // namespace QEL
