// Fonts that are always drawable: the named family, else the generic sans-serif
// family, else any installed family.
#pragma once

#include "toolkit/Gdiplus.h"

#include <memory>
#include <string>

namespace QEL {

std::unique_ptr<Gdiplus::Font> makeFont(const std::wstring& family, float emSize, int style,
                                        Gdiplus::Unit unit);

// The family name a font really uses.
std::wstring fontFamilyName(const Gdiplus::Font& font);

} // namespace QEL
