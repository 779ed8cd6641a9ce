#include "app/Catalogue.h"
#include "devices/DeviceList.h"
#include "support/DeviceTestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;
using devices::DeviceList;

namespace {

const std::wstring otherCollectionPath =
    L"\\\\?\\hid#vid_0483&pid_a110&col02#7&2b3c&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}";

using HidStage = DeviceStageTest;

TEST_F(HidStage, AcceptedUnitIsListedWithItsStrings)
{
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"Quorvel Motion", L"ABC123")
        .brokenStringsAboveUsbLimit = true;
    list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(record(0x0483, 0xA110, L"Tervalis", L"Quorvel Motion", L"ABC123", hidUnitPath, devices::TransportHid),
              list.devices()[0]);
    EXPECT_EQ(1, sim.count("SetupDiDestroyDeviceInfoList"));
}

TEST_F(HidStage, PathWithoutFirstCollectionMarkIsNeverOpened)
{
    sim.addHid(otherCollectionPath, 0x0483, 0xA110, L"Tervalis", L"P", L"S");
    sim.addHid(L"\\\\?\\hid#vid_0483&pid_a110#7&1&0&0000#{4D1E55B2}", 0x0483, 0xA110,
               L"Tervalis", L"P", L"S");  // the mark is case-sensitive: "#{4D" still matches
    list.enumerateHid(nullptr, nullptr, true);
    EXPECT_EQ(0, sim.count("CreateFileW", otherCollectionPath));
    ASSERT_EQ(1u, list.devices().size());
}

TEST_F(HidStage, DeviceRefusedByIdFilterGetsNoStringRequest)
{
    sim.addHid(hidUnitPath, 0x046D, 0xC077, L"Tervalis", L"Mouse", L"S");
    list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(1, sim.count("HidD_GetAttributes", hidUnitPath));
    EXPECT_EQ(0, sim.count("HidD_GetManufacturerString"));
    EXPECT_EQ(0, sim.count("HidD_GetProductString"));
    EXPECT_EQ(1, sim.count("CloseHandle", hidUnitPath));
}

TEST_F(HidStage, RejectedDeviceCostsAtMostAttributesAndTwoStrings)
{
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"Emberload", L"S");
    list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(1, sim.count("HidD_GetAttributes"));
    EXPECT_EQ(1, sim.count("HidD_GetManufacturerString"));
    EXPECT_EQ(1, sim.count("HidD_GetProductString"));
    EXPECT_EQ(0, sim.count("HidD_GetSerialNumberString"));
}

// A manufacturer or product string that fails or is empty drops the device,
// even with null filters, before its serial number is asked for.
TEST_F(HidStage, BadStringsDropTheDeviceEvenWithNullFilters)
{
    const std::pair<HidString, HidString> cases[] = {
        {HidString::failing(), HidString::of(L"P")}, {HidString::of(L""), HidString::of(L"P")},
        {HidString::of(L"Tervalis"), HidString::failing()}, {HidString::of(L"Tervalis"), HidString::of(L"")}};
    for (std::size_t i = 0; i < 4; ++i) {
        SimDevice& device = sim.addHid(L"\\\\?\\hid#" + std::to_wstring(i) + L"&0000#{x}", 0x0483,
                                       0xA110, L"", L"", L"S");
        device.manufacturer = cases[i].first;
        device.product = cases[i].second;
    }
    list.enumerateHid(nullptr, nullptr, true);
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(4, sim.count("HidD_GetAttributes"));
    EXPECT_EQ(0, sim.count("HidD_GetSerialNumberString"));
}

TEST_F(HidStage, FailingSerialKeepsTheDeviceWithEmptySerial)
{
    SimDevice& device = sim.addHid(hidUnitPath, 0x0483, 0xA110, L"KPX", L"P", L"");
    device.serial = HidString::failing();
    list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"", list.devices()[0].serialNumber);
}

// Strings, and a detail's path, that the system leaves without a NUL end at their buffer's end.
TEST_F(HidStage, UnterminatedStringsAndPathAreCutAtTheBufferEnd)
{
    // 82 units: the detail, 4 + 164 bytes, fills its heap block with no slack after it.
    const std::wstring path = std::wstring(hidUnitPath).insert(hidUnitPath.find(L"&2b3c"), L"7777");
    SimDevice& device = sim.addHid(path, 0x0483, 0xA110, L"Tervalis", L"P", L"");
    device.product = HidString::unterminated();
    device.serial = HidString::unterminated();
    device.pathWithoutNul = true;
    list.enumerateHid(nullptr, nullptr, true);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(path, list.devices()[0].devicePath);
    EXPECT_EQ(std::wstring(126, L'Z'), list.devices()[0].product);
    EXPECT_EQ(std::wstring(126, L'Z'), list.devices()[0].serialNumber);
}

TEST_F(HidStage, ShorterStringAfterLongerOneCarriesNothingOver)
{
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"A long product name", L"SERIAL-ONE");
    // A driver that writes no terminator: only a cleared buffer ends these strings.
    SimDevice& second = sim.addHid(hidSecondPath, 0x0483, 0xA110, L"", L"", L"");
    second.manufacturer = HidString::withoutNul(L"KPX");
    second.product = HidString::withoutNul(L"B");
    second.serial = HidString::withoutNul(L"2");
    list.enumerateHid(nullptr, nullptr, false);
    ASSERT_EQ(2u, list.devices().size());
    EXPECT_EQ(L"KPX", list.devices()[1].manufacturer);
    EXPECT_EQ(L"B", list.devices()[1].product);
    EXPECT_EQ(L"2", list.devices()[1].serialNumber);
}

TEST_F(HidStage, UnopenableAndUnreadableDevicesAreSkipped)
{
    sim.addHid(L"\\\\?\\hid#kbd#1&0000#{x}", 1, 2, L"Keyboard Co", L"Keys", L"").openError =
        ERROR_ACCESS_DENIED;
    sim.addHid(L"\\\\?\\hid#bad#1&0000#{x}", 1, 2, L"M", L"P", L"").attributesFail = true;
    sim.addHid(L"\\\\?\\hid#nodetail#1&0000#{x}", 1, 2, L"M", L"P", L"").detailFails = true;
    sim.addHid(L"\\\\?\\hid#nosize#1&0000#{x}", 1, 2, L"M", L"P", L"").reportedDetailSize = 0;
    // A size too small for the structure's fixed part is never allocated and written to.
    sim.addHid(L"\\\\?\\hid#tiny#1&0000#{x}", 1, 2, L"M", L"P", L"").reportedDetailSize = 6;
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"P", L"OK");
    list.enumerateHid(nullptr, nullptr, true);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"OK", list.devices()[0].serialNumber);
    EXPECT_EQ(0, sim.count("CreateFileW", L"\\\\?\\hid#nosize#1&0000#{x}"));
    EXPECT_EQ(0, sim.count("CreateFileW", L"\\\\?\\hid#nodetail#1&0000#{x}"));
    EXPECT_EQ(1, sim.count("SetupDiGetDeviceInterfaceDetailW", L"\\\\?\\hid#tiny#1&0000#{x}"));
}

TEST_F(HidStage, EmptyOrFailedClassAddsNothing)
{
    list.enumerateHid(nullptr, nullptr, true);
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(1, sim.count("SetupDiDestroyDeviceInfoList"));  // the empty set is destroyed

    sim.clearCalls();
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"P", L"S");
    sim.failClassDevs(ERROR_ACCESS_DENIED);
    list.enumerateHid(nullptr, nullptr, true);
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(0, sim.count("SetupDiEnumDeviceInterfaces"));
    EXPECT_EQ(0, sim.count("SetupDiDestroyDeviceInfoList"));
}

TEST_F(HidStage, TwoHidInterfacesWithTheSameSerialAreBothListed)
{
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"P", L"SAME");
    sim.addHid(hidSecondPath, 0x0483, 0xA110, L"Tervalis", L"P", L"SAME");
    list.enumerateHid(nullptr, nullptr, true);
    EXPECT_EQ(2u, list.devices().size());
}

// Duplicate suppression against a WinUSB record found first in the same list.
struct DuplicateCase {
    const char* name;
    const wchar_t* hidSerial;
    USHORT hidProduct;
    bool suppress;
    bool hidListed;
};

class HidDuplicates : public HidStage, public ::testing::WithParamInterface<DuplicateCase> {};

TEST_P(HidDuplicates, AgainstWinUsbRecord)
{
    const DuplicateCase& c = GetParam();
    sim.addWinUsb(L"\\\\?\\usb#vid_0483&pid_a110#ABC#{6b128895-01de-4056-8aee-c10bf3c4763a}",
                  L"Tervalis", L"P", L"ABCDEF");
    sim.addHid(hidUnitPath, 0x0483, c.hidProduct, L"Tervalis", L"P", c.hidSerial);
    list.enumerateWinUsb(nullptr, nullptr);
    ASSERT_EQ(1u, list.devices().size());
    list.enumerateHid(nullptr, nullptr, c.suppress);
    EXPECT_EQ(c.hidListed ? 2u : 1u, list.devices().size());
    EXPECT_EQ(devices::TransportWinUsb, list.devices()[0].transport);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HidDuplicates,
    ::testing::Values(DuplicateCase{"SameIdsAndSerial", L"ABCDEF", 0xA110, true, false},
                      DuplicateCase{"SuppressionOff", L"ABCDEF", 0xA110, false, true},
                      DuplicateCase{"SerialDiffersInCase", L"abcdef", 0xA110, true, true},
                      DuplicateCase{"SerialLonger", L"ABCDEF0", 0xA110, true, true},
                      DuplicateCase{"SerialShorter", L"ABCDE", 0xA110, true, true},
                      DuplicateCase{"OtherProductId", L"ABCDEF", 0xA111, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
