// virtual_units: plugs virtual units into a Wine test prefix and out again, and
// reads or changes their settings while they are plugged in. Test-only.
//   virtual_units add-hid INSTANCE [NAME=VALUE]...   a HID unit (VendorId, ProductId
//                                                    in hex; Manufacturer, Product,
//                                                    Serial; FailStrings 1|2|4)
//   virtual_units add-winusb INSTANCE [NAME=VALUE]...  a WinUSB unit (Manufacturer,
//                                                    Product, Serial; ManufacturerIndex,
//                                                    ProductIndex, SerialIndex; FailDescriptors
//                                                    1 device, 2|4|8 strings; OddLength,
//                                                    OversizedLength 2|4|8;
//                                                    ShortDeviceDescriptor BYTES;
//                                                    SmallBuffer 0 fail, 1 truncate)
//   virtual_units add-winusb-other-class INSTANCE ...  the same, another setup class
//   virtual_units remove INSTANCE
//   virtual_units set INSTANCE NAME=VALUE...
//   virtual_units get INSTANCE NAME                 prints a number (counters:
//                                                    StringRequests; Opens, OpenHandles,
//                                                    DescriptorRequests)
//   virtual_units list                              one line per unit
// INSTANCE is the whole device instance id, for example
// ROOT\VID_0483&PID_A110\7&1A2B3C4D&0&0000: its last part becomes the HID
// path's instance part, so an id ending in &0001 gives a path without "&0000#{".
// The INF files and drivers are read from this program's own folder.
#include "VirtualUnits.h"

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    const auto settingsFrom = [&](std::size_t first) {
        std::vector<std::wstring> settings(args.begin() + static_cast<std::ptrdiff_t>(first), args.end());
        return settings;
    };
    using virtual_units::UnitKind;
    const struct {
        const wchar_t* command;
        UnitKind kind;
    } adds[] = {{L"add-hid", UnitKind::Hid}, {L"add-winusb", UnitKind::WinUsb},
                {L"add-winusb-other-class", UnitKind::WinUsbOtherClass}};
    for (const auto& add : adds)
        if (args.size() >= 2 && args[0] == add.command)
            return virtual_units::addUnit(add.kind, args[1], settingsFrom(2)) ? 0 : 1;
    if (args.size() == 2 && args[0] == L"remove")
        return virtual_units::removeUnit(args[1]) ? 0 : 1;
    if (args.size() >= 3 && args[0] == L"set")
        return virtual_units::changeSettings(args[1], settingsFrom(2)) ? 0 : 1;
    if (args.size() == 3 && args[0] == L"get") {
        DWORD value = 0;
        if (!virtual_units::readNumber(args[1], args[2], value))
            return 1;
        std::printf("%lu\n", value);
        return 0;
    }
    if (args.size() == 1 && args[0] == L"list") {
        for (const std::wstring& unit : virtual_units::listUnits())
            std::printf("%ls\n", unit.c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: virtual_units add-hid|add-winusb|add-winusb-other-class INSTANCE"
                         " [NAME=VALUE]... | remove INSTANCE |"
                         " set INSTANCE NAME=VALUE... | get INSTANCE NAME | list\n");
    return 2;
}
