// Which devices count as the maker's motion platform: the id pair, the accepted
// manufacturers and the product names of a unit running its bootloader.
#pragma once

#include <cstdint>
#include <string>

namespace app {

struct PlatformId {
    std::uint32_t vendorId;
    std::uint32_t productId;
};

// The USB manufacturer string that the maker's units report. Anything that
// stands in for a unit or for the platform service uses this same constant.
inline constexpr const wchar_t* makerManufacturer = L"Tervalis";
// A second manufacturer whose platforms are accepted too.
inline constexpr const wchar_t* partnerManufacturer = L"KPX";

inline constexpr PlatformId platformIds[] = {
    {0x0483, 0xA110},
};

inline constexpr const wchar_t* bootloaderProducts[] = {
    L"Emberload",
    L"Emberload-X",
    L"Emberload-2",
};

bool platformIdFilter(std::uint32_t vendorId, std::uint32_t productId);
bool platformStringFilter(std::uint32_t vendorId, std::uint32_t productId,
                          const std::wstring& manufacturer, const std::wstring& product);

} // namespace app
