#include "toolkit/BitmapResource.h"

#include "common/UniqueHandle.h"

#include <cstddef>
#include <cstring>

namespace QEL {

std::unique_ptr<Gdiplus::Bitmap> loadBitmapResource(HINSTANCE instance, const wchar_t* name,
                                                    const wchar_t* type)
{
    if (!name || !type)
        return nullptr;
    HRSRC resource = FindResourceW(instance, name, type);
    if (!resource)
        return nullptr;
    const DWORD size = SizeofResource(instance, resource);
    HGLOBAL loaded = size ? LoadResource(instance, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return nullptr;

    // Declared before the stream, so the stream goes first.
    common::GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block)
        return nullptr;
    void* copy = GlobalLock(block.get());
    if (!copy)
        return nullptr;
    memcpy(copy, bytes, size);
    GlobalUnlock(block.get());

    IStream* rawStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block.get(), FALSE, &rawStream)))
        return nullptr;
    const common::ComReference<IStream> stream(rawStream);
    // The decoded bitmap may read from its stream for as long as it lives, so the
    // pixels are copied into a bitmap of our own before the stream and its
    // memory go away.
    std::unique_ptr<Gdiplus::Bitmap> result;
    {
        Gdiplus::Bitmap decoded(stream.get());
        if (decoded.GetLastStatus() == Gdiplus::Ok) {
            const UINT width = decoded.GetWidth();
            const UINT height = decoded.GetHeight();
            auto own = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(width),
                                                         static_cast<INT>(height),
                                                         PixelFormat32bppARGB);
            Gdiplus::Rect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
            Gdiplus::BitmapData source;
            Gdiplus::BitmapData target;
            if (own->GetLastStatus() == Gdiplus::Ok
                && decoded.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &source)
                       == Gdiplus::Ok) {
                if (own->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &target)
                    == Gdiplus::Ok) {
                    for (UINT row = 0; row < height; ++row)
                        memcpy(static_cast<BYTE*>(target.Scan0) + static_cast<std::ptrdiff_t>(row) * target.Stride,
                               static_cast<const BYTE*>(source.Scan0) + static_cast<std::ptrdiff_t>(row) * source.Stride,
                               width * 4);
                    own->UnlockBits(&target);
                    result = std::move(own);
                }
                decoded.UnlockBits(&source);
            }
        }
    }
    return result;
}

} // namespace QEL
