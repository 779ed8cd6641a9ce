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
            && contrastThemeIn(contrast);
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

bool contrastThemeIn(const HIGHCONTRASTW& answer)
{
    return (answer.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

Gdiplus::Color resolve(const Colour& colour)
{
    if (!contrastThemeOn())
        return Gdiplus::Color(colour.documented);
    const COLORREF system = source().systemColour(colour.contrastIndex);
    return Gdiplus::Color(GetRValue(system), GetGValue(system), GetBValue(system));
}

void fill(Gdiplus::Graphics& graphics, Gdiplus::SolidBrush& brush, const Colour& colour,
          const Gdiplus::RectF& area)
{
    brush.SetColor(resolve(colour));
    graphics.FillRectangle(&brush, area);
}

void drawImage(Gdiplus::Graphics& graphics, Gdiplus::Image& image, const Gdiplus::RectF& area,
               const Colour& silhouette)
{
    if (!contrastThemeOn()) {
        graphics.DrawImage(&image, area.X, area.Y, area.Width, area.Height);
        return;
    }
    // Every colour channel becomes the system colour's; alpha passes unchanged.
    const Gdiplus::Color colour = resolve(silhouette);
    Gdiplus::ColorMatrix matrix = {};
    matrix.m[3][3] = 1.0f;
    matrix.m[4][0] = colour.GetR() / 255.0f;
    matrix.m[4][1] = colour.GetG() / 255.0f;
    matrix.m[4][2] = colour.GetB() / 255.0f;
    matrix.m[4][4] = 1.0f;
    Gdiplus::ImageAttributes attributes;
    attributes.SetColorMatrix(&matrix);
    graphics.DrawImage(&image, area, 0.0f, 0.0f, static_cast<Gdiplus::REAL>(image.GetWidth()),
                       static_cast<Gdiplus::REAL>(image.GetHeight()), Gdiplus::UnitPixel, &attributes);
}

} // namespace QEL
