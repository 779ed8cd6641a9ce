#include "app/SerialDisplay.h"

#include "app/Catalogue.h"
#include "common/UniqueHandle.h"
#include "devices/DeviceList.h"

#include <cstring>

namespace app {

namespace {
constexpr int clipboardAttempts = 10;
constexpr DWORD clipboardRetryPauseMs = 20;
}

std::vector<std::unique_ptr<UnitRecord>> findMotionUnits()
{
    devices::DeviceList list;
    list.scan(platformIdFilter, platformStringFilter);
    std::vector<std::unique_ptr<UnitRecord>> units;
    units.reserve(list.devices().size());
    for (const devices::DeviceInfo& device : list.devices()) {
        auto unit = std::make_unique<UnitRecord>();
        unit->product = device.product;
        unit->serialNumber = device.serialNumber;
        unit->devicePath = device.devicePath;
        unit->transport = device.transport;
        units.push_back(std::move(unit));
    }
    return units;
}

std::wstring formatSerial(const std::wstring& serial)
{
    std::wstring text(serial);
    // From the highest position down, so an insertion never moves a lower one.
    for (std::size_t position : {18u, 12u, 6u}) {
        if (text.size() > position)
            text.insert(position, 1, L'-');
    }
    return text;
}

std::wstring displayTextFor(const std::vector<std::unique_ptr<UnitRecord>>& units)
{
    if (units.empty())
        return notFoundText;
    const std::wstring formatted = formatSerial(units.front()->serialNumber);
    return formatted.empty() ? std::wstring(notFoundText) : formatted;
}

CopyResult copyToClipboard(const std::wstring& text, HWND owner)
{
    const std::size_t units = wcsnlen(text.c_str(), text.size());
    common::GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE, (units + 1) * sizeof(wchar_t)));
    if (!block)
        return CopyResult::Failed;
    void* memory = GlobalLock(block.get());
    if (!memory)
        return CopyResult::Failed;
    std::memcpy(memory, text.c_str(), units * sizeof(wchar_t));
    static_cast<wchar_t*>(memory)[units] = L'\0';
    GlobalUnlock(block.get());
    // Clipboard managers, clipboard history and remote-desktop redirection hold
    // the clipboard open for moments: try again briefly before giving up.
    bool opened = false;
    for (int attempt = 0; attempt < clipboardAttempts && !opened; ++attempt) {
        if (attempt > 0)
            Sleep(clipboardRetryPauseMs);
        opened = OpenClipboard(owner) != FALSE;
    }
    if (!opened)
        return CopyResult::ClipboardBusy;
    EmptyClipboard();
    // Once the clipboard has taken the block it is the clipboard's; until then it is ours.
    const bool taken = SetClipboardData(CF_UNICODETEXT, block.get()) != nullptr;
    if (taken)
        block.release();
    CloseClipboard();
    return taken ? CopyResult::Copied : CopyResult::Failed;
}

} // namespace app
