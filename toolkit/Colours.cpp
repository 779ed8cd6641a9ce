#include "toolkit/Colours.h"

namespace QEL {

namespace {

class SystemColours final : public ColourSource {
public:
    bool contrastThemeOn() const override
    {
        HIGHCONTRASTW contrast = {};
        contrast.cbSize = sizeof contrast;
        return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0)
            && (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    }
    COLORREF systemColour(int index) const override { return GetSysColor(index); }
};

std::unique_ptr<ColourSource> g_source;
bool g_contrast = false;
bool g_read = false;

ColourSource& source()
{
    if (!g_source)
        g_source = std::make_unique<SystemColours>();
    return *g_source;
}

} // namespace

void setColourSource(std::unique_ptr<ColourSource> newSource)
{
    g_source = std::move(newSource);
    refreshColours();
}

void refreshColours()
{
    g_contrast = source().contrastThemeOn();
    g_read = true;
}

bool contrastThemeOn()
{
    if (!g_read)
        refreshColours();
    return g_contrast;
}

Gdiplus::Color themed(Gdiplus::ARGB documented, int systemIndex)
{
    if (!contrastThemeOn())
        return Gdiplus::Color(documented);
    const COLORREF colour = source().systemColour(systemIndex);
    return Gdiplus::Color(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

void fillThemed(Gdiplus::Graphics& graphics, const Gdiplus::Brush& documented, int systemIndex,
                const Gdiplus::RectF& area)
{
    if (!contrastThemeOn()) {
        graphics.FillRectangle(&documented, area);
        return;
    }
    const Gdiplus::SolidBrush system(themed(0, systemIndex));
    graphics.FillRectangle(&system, area);
}

} // namespace QEL
