// Logical units and pixels: one scale factor per widget, the process's DPI
// awareness and the screen's scale factor.
#pragma once

#include <windows.h>

namespace QEL {

class ComponentScale {
public:
    // Logical to pixels; CW_USEDEFAULT passes through unchanged.
    int toPixels(int logical) const;
    int toLogical(int pixels) const;

    float scale = 1.0f;
};

// Makes the process DPI-aware, per monitor where the system allows it.
void enableDpiAwareness();
// The scale of the primary monitor (1.0 when the system cannot say).
float screenScaleFactor();
// The scale for a DEVICE_SCALE_FACTOR value; unlisted values give 1.0.
float scaleForFactor(int deviceScaleFactor);

} // namespace QEL
