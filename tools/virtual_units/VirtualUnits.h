// Virtual units in a Wine test prefix: plugged in and out through SetupAPI as
// Windows installs a root-enumerated device, with their settings in the
// device's "Device Parameters" key. Test-only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace virtual_units {

// Settings are "Name=Value": VendorId and ProductId in hex, FailStrings and other
// numbers in decimal, anything else as text.
bool addHidUnit(const std::wstring& instanceId, const std::vector<std::wstring>& settings);
// The installation alone, which may leave a half-installed unit behind.
bool installHidUnit(const std::wstring& instanceId, const std::vector<std::wstring>& settings);
bool removeUnit(const std::wstring& instanceId);
bool changeSettings(const std::wstring& instanceId, const std::vector<std::wstring>& settings);
bool readNumber(const std::wstring& instanceId, const std::wstring& name, DWORD& value);
// Waits until the unit's HID interface is present (5 to 130 ms after the
// install here); false after timeoutMs.
bool waitForHidInterface(const std::wstring& instanceId, DWORD timeoutMs);
// "INSTANCE hardware-id" for every virtual unit present.
std::vector<std::wstring> listUnits();

} // namespace virtual_units
