// Constants and helpers of the WinUSB stage that tests and tools share.
#pragma once

#include <windows.h>
#include <winusb.h>

#include <cstdint>
#include <string>

namespace devices {

// Device-interface class of the units' WinUSB interface.
inline constexpr GUID unitWinUsbInterfaceClass = {
    0x6B128895, 0x01DE, 0x4056, {0x8A, 0xEE, 0xC1, 0x0B, 0xF3, 0xC4, 0x76, 0x3A}};
// The device setup class that Windows names USBDevice.
inline constexpr GUID usbDeviceSetupClass = {
    0x88BAE032, 0x5A81, 0x49F0, {0xBC, 0x3D, 0xA4, 0xFF, 0x13, 0x82, 0x16, 0xD6}};

constexpr std::size_t winUsbDetailBytes = 4096;
constexpr USHORT englishUnitedStates = 0x0409;
constexpr UCHAR usbDeviceDescriptorType = 1;
constexpr UCHAR usbStringDescriptorType = 3;
constexpr ULONG usbDeviceDescriptorBytes = 18;

// The hex value of at most 4 units after the first occurrence of key in a
// lower-cased path; 0 when there is no key or no digit.
std::uint32_t parseHexId(const std::wstring& path, const std::wstring& key);

// Reads string descriptor index in language into field, growing the buffer from
// 64 up to 2048 bytes while the device says it does not fit.
bool readStringDescriptor(WINUSB_INTERFACE_HANDLE handle, UCHAR index, USHORT language,
                          std::wstring& field);

// The UTF-16 text of a string descriptor, taking only the bytes received: the
// length byte is trusted no further than the transfer, and below 2 means empty.
std::wstring stringDescriptorText(const unsigned char* descriptor, std::size_t received);

} // namespace devices
