// The one source of every colour the toolkit and its windows paint: a named
// palette of documented colours, each with the system colour that replaces it
// while a contrast theme (high contrast) is on. Painting code names palette
// entries only; tests swap the source of the system's answers, never the code.
#pragma once

#include "toolkit/Gdiplus.h"

#include <windows.h>

#include <memory>

namespace QEL {

// A documented colour, and the system colour (a COLOR_ index) that takes its
// place under a contrast theme.
struct Colour {
    Gdiplus::ARGB documented;
    int contrastIndex;
};

namespace palette {

// The main window.
inline constexpr Colour windowBackground = {0xFF444444, COLOR_WINDOW};  // dark grey behind it all
inline constexpr Colour windowFrame = {0xFF000000, COLOR_WINDOWTEXT};   // the black frame
inline constexpr Colour band = {0xFF999999, COLOR_WINDOW};              // grey, behind the explanation
inline constexpr Colour panel = {0xFFF4F4F4, COLOR_WINDOW};             // light, behind the serial row and field
inline constexpr Colour textOnDark = {0xFFFFFFFF, COLOR_WINDOWTEXT};    // the title and the explanation
inline constexpr Colour textOnLight = {0xFF000000, COLOR_WINDOWTEXT};   // "S/N:", the serial; a label's default
// The logo keeps its own colours (no documented one); under a contrast theme it
// is a silhouette of this colour, its alpha kept.
inline constexpr Colour logo = {0x00000000, COLOR_WINDOWTEXT};

// Buttons: the fill follows the mouse; lit means hovered or pressed.
inline constexpr Colour buttonIdle = {0xFF444444, COLOR_BTNFACE};
inline constexpr Colour buttonHovered = {0xFF888888, COLOR_HIGHLIGHT};
inline constexpr Colour buttonPressed = {0xFFBBBBBB, COLOR_HIGHLIGHT};
inline constexpr Colour buttonText = {0xFFFFFFFF, COLOR_BTNTEXT};
inline constexpr Colour buttonLitText = {0xFFFFFFFF, COLOR_HIGHLIGHTTEXT};
// The one-pixel border: none in the documented look (transparent).
inline constexpr Colour buttonBorder = {0x00000000, COLOR_BTNTEXT};
inline constexpr Colour buttonFocusFrame = {0xFFFFFFFF, COLOR_BTNTEXT};
inline constexpr Colour buttonLitFocusFrame = {0xFFFFFFFF, COLOR_HIGHLIGHTTEXT};

} // namespace palette

// Where the contrast state and the system colours come from.
class ColourSource {
public:
    virtual ~ColourSource() = default;
    // Whether a contrast theme is on now.
    virtual bool contrastThemeOn() const = 0;
    // GetSysColor's colour for a COLOR_ index.
    virtual COLORREF systemColour(int index) const = 0;
};

// Replaces the process's source (null: the system's again) and reads its state.
void setColourSource(std::unique_ptr<ColourSource> source);
// Reads the contrast state again: at start and when the system says it changed.
void refreshColours();
bool contrastThemeOn();
// Whether the system's SPI_GETHIGHCONTRAST answer says a contrast theme is on
// (HCF_AVAILABLE only says one could be).
bool contrastThemeIn(const HIGHCONTRASTW& answer);

// The colour to paint now: the documented one, or the system's under a contrast theme.
Gdiplus::Color resolve(const Colour& colour);
// Fills with a brush made once, in the colour to paint now.
void fill(Gdiplus::Graphics& graphics, Gdiplus::SolidBrush& brush, const Colour& colour,
          const Gdiplus::RectF& area);
// Draws an image stretched to area: in its own colours, or under a contrast
// theme as a silhouette in the silhouette's system colour, its alpha kept.
void drawImage(Gdiplus::Graphics& graphics, Gdiplus::Image& image, const Gdiplus::RectF& area,
               const Colour& silhouette);

} // namespace QEL
