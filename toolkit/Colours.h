// The one source of every colour the toolkit and its windows paint: the
// documented colours by default, the system's colours while a contrast theme
// (high contrast) is on. Tests swap the source, never the painting code.
#pragma once

#include "toolkit/Gdiplus.h"

#include <windows.h>

#include <memory>

namespace QEL {

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
// The documented colour, or under a contrast theme the system colour of index.
Gdiplus::Color themed(Gdiplus::ARGB documented, int systemIndex);
// Fills with the documented brush, or under a contrast theme the system colour of index.
void fillThemed(Gdiplus::Graphics& graphics, const Gdiplus::Brush& documented, int systemIndex,
                const Gdiplus::RectF& area);

} // namespace QEL
