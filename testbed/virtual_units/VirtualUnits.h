// Virtual units in a Wine test prefix: plugged in and out through SetupAPI as
// Windows installs a root-enumerated device, with their settings in the
// device's "Device Parameters" key. Test-only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace virtual_units {

enum class UnitKind {
    Hid,             // a HID unit
    WinUsb,          // a WinUSB unit in the setup class USBDevice
    WinUsbOtherClass // the same WinUSB unit in another setup class (USB)
};

// Settings are "Name=Value": Manufacturer, Product and Serial are text,
// VendorId and ProductId hex numbers, anything else a decimal number.
bool addUnit(UnitKind kind, const std::wstring& instanceId, const std::vector<std::wstring>& settings);
inline bool addHidUnit(const std::wstring& instanceId, const std::vector<std::wstring>& settings)
{
    return addUnit(UnitKind::Hid, instanceId, settings);
}
// The installation alone, which may leave a half-installed unit behind.
bool installUnit(UnitKind kind, const std::wstring& instanceId, const std::vector<std::wstring>& settings);
bool removeUnit(const std::wstring& instanceId);
bool changeSettings(const std::wstring& instanceId, const std::vector<std::wstring>& settings);
bool readNumber(const std::wstring& instanceId, const std::wstring& name, DWORD& value);
// Waits until the unit's HID or WinUSB interface is present (5 to 130 ms after
// the install here); false after timeoutMs.
bool waitForInterface(const std::wstring& instanceId, DWORD timeoutMs);
// "INSTANCE hardware-id" for every virtual unit present.
std::vector<std::wstring> listUnits();

} // namespace virtual_units
