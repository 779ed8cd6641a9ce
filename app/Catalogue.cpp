#include "app/Catalogue.h"

namespace app {

bool platformIdFilter(std::uint32_t vendorId, std::uint32_t productId)
{
    for (const PlatformId& id : platformIds) {
        if (id.vendorId == vendorId && id.productId == productId)
            return true;
    }
    return false;
}

bool platformStringFilter(std::uint32_t, std::uint32_t, const std::wstring& manufacturer,
                          const std::wstring& product)
{
    // Exact comparisons: same length, same code units, nothing trimmed.
    if (manufacturer != makerManufacturer && manufacturer != partnerManufacturer)
        return false;
    for (const wchar_t* bootloader : bootloaderProducts) {
        if (product == bootloader)
            return false;
    }
    return true;
}

} // namespace app
