// Decodes an image resource (the logo's PNG) into a GDI+ bitmap of its own.
#pragma once

#include "toolkit/Gdiplus.h"

#include <windows.h>

#include <memory>

namespace QEL {

// A bitmap that owns its pixels, so it outlives the resource's stream; null on any failure.
std::unique_ptr<Gdiplus::Bitmap> loadBitmapResource(HINSTANCE instance, const wchar_t* name,
                                                    const wchar_t* type);

} // namespace QEL
