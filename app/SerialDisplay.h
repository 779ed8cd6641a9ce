// What one timer tick shows: the scan turned into unit records, the serial
// number grouped by hyphens, and the copy of a text to the clipboard.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace app {

// Shown when a scan finds no unit, or one without a serial number.
inline constexpr const wchar_t* notFoundText = L"(no motion unit has been found)";
// Shown from window creation until the first tick.
inline constexpr const wchar_t* checkingText = L"(checking...)";

struct UnitRecord {
    std::wstring product;
    std::wstring serialNumber;
    std::wstring devicePath;
    std::uint32_t transport = 0;
};

// One full scan with the platform filters, in scan order. Keeps no state.
std::vector<std::unique_ptr<UnitRecord>> findMotionUnits();

// Groups the first 24 characters in blocks of six: "ABCDEF-GHIJKL-...".
std::wstring formatSerial(const std::wstring& serial);

// The text for a scan result: the first unit's formatted serial, or the not-found text.
std::wstring displayTextFor(const std::vector<std::unique_ptr<UnitRecord>>& units);

enum class CopyResult { Copied, ClipboardBusy, Failed };

// Puts the text (up to its first NUL) on the clipboard as CF_UNICODETEXT. The
// owner window must be the caller's: a clipboard opened without one refuses data.
CopyResult copyToClipboard(const std::wstring& text, HWND owner);

} // namespace app
