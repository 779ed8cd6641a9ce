#include "app/Catalogue.h"
#include "devices/DeviceList.h"
#include "devices/InterfaceDetail.h"
#include "devices/WinUsbHandleCache.h"
#include "devices/WinUsbIds.h"
#include "support/DeviceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;
using devices::DeviceList;

namespace {

using WinUsbStage = DeviceStageTest;

TEST_F(WinUsbStage, AcceptedUnitIsListedWithTransportOne)
{
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"Quorvel Motion", L"QV0001SERIAL");
    list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(record(0x0483, 0xA110, L"Tervalis", L"Quorvel Motion", L"QV0001SERIAL",
                     winUsbUnitPath, devices::TransportWinUsb),
              list.devices()[0]);
}

TEST_F(WinUsbStage, UpperCaseKeysAreParsedAndPathKeepsItsCase)
{
    sim.addWinUsb(winUsbUpperCasePath, L"Tervalis", L"P", L"S");
    list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(winUsbUpperCasePath, list.devices()[0].devicePath);
    EXPECT_EQ(1, sim.count("CreateFileW", winUsbUpperCasePath));
}

// No vid_ or pid_ value, a zero one, or one that is not hex: skipped, never opened.
TEST_F(WinUsbStage, UnparsablePathsAreSkippedUnopened)
{
    for (const wchar_t* path : {L"\\\\?\\usb#vid_0483&pxd_a110#1#{g}", L"\\\\?\\usb#vid_0000&pid_a110#1#{g}",
                                L"\\\\?\\usb#vid_0483&pid_xa11#1#{g}", L"\\\\?\\usb#vid_0483&pid_"})
        sim.addWinUsb(path, L"Tervalis", L"P", L"S");
    list.enumerateWinUsb(nullptr, nullptr);
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(0, sim.count("CreateFileW"));
}

TEST(ParseHexId, TakesAtMostFourUnitsAndStopsAtNonHex)
{
    EXPECT_EQ(0x0483u, devices::parseHexId(L"\\\\?\\usb#vid_0483&pid_a110#1", L"vid_"));
    EXPECT_EQ(0xA110u, devices::parseHexId(L"\\\\?\\usb#vid_0483&pid_a110#1", L"pid_"));
    EXPECT_EQ(0x48u, devices::parseHexId(L"vid_48&pid_1", L"vid_"));
    EXPECT_EQ(0x1234u, devices::parseHexId(L"vid_123456", L"vid_"));
    EXPECT_EQ(0x12u, devices::parseHexId(L"vid_12", L"vid_"));
    EXPECT_EQ(0u, devices::parseHexId(L"vid_g123", L"vid_"));
    EXPECT_EQ(0u, devices::parseHexId(L"vid_", L"vid_"));
    EXPECT_EQ(0u, devices::parseHexId(L"no key here", L"vid_"));
    EXPECT_EQ(0u, devices::parseHexId(L"VID_0483", L"vid_"));  // the key is matched exactly
    EXPECT_EQ(0x7u, devices::parseHexId(L"vid_0483&pid_0007&vid_1", L"pid_"));
}

TEST_F(WinUsbStage, OtherSetupClassIsSkippedUnopened)
{
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"S").setupClass = testing_support::hidInterfaceClass;
    list.enumerateWinUsb(nullptr, nullptr);
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(0, sim.count("CreateFileW"));
}

TEST_F(WinUsbStage, RefusedIdsAreNeverOpened)
{
    sim.addWinUsb(L"\\\\?\\usb#vid_0483&pid_a111#1#{g}", L"Tervalis", L"P", L"S");
    list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(0, sim.count("CreateFileW"));
}

TEST_F(WinUsbStage, StringFilterRefusalClosesTheDevice)
{
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"Emberload-X", L"S");
    list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
    EXPECT_TRUE(list.devices().empty());
    // The serial number is read with the other two strings, before the filter.
    EXPECT_EQ(4, sim.count("WinUsb_GetDescriptor"));
    EXPECT_EQ(1, sim.count("WinUsb_Free", winUsbUnitPath));
}

TEST_F(WinUsbStage, AllStringIndicesZeroGiveThreeEmptyStrings)
{
    sim.addWinUsb(winUsbUnitPath, L"x", L"y", L"z").deviceDescriptor = deviceDescriptorWith(0, 0, 0);
    list.enumerateWinUsb(nullptr, nullptr);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"", list.devices()[0].manufacturer);
    EXPECT_EQ(L"", list.devices()[0].product);
    EXPECT_EQ(L"", list.devices()[0].serialNumber);
    EXPECT_EQ(1, sim.count("WinUsb_GetDescriptor"));
}

TEST_F(WinUsbStage, FailingSerialDropsTheDeviceAndClosesItAtOnce)
{
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"S").strings[3].mode = StringDescriptor::Fail;
    list.enumerateWinUsb(nullptr, nullptr);
    EXPECT_TRUE(list.devices().empty());
    const std::vector<std::string> calls = sim.calls();
    // The failing read is followed by the close, before the walk goes on.
    auto failed = std::find(calls.rbegin(), calls.rend(), "WinUsb_GetDescriptor " + narrow(winUsbUnitPath));
    ASSERT_NE(calls.rend(), failed);
    const auto afterFailure = failed.base();
    ASSERT_NE(calls.end(), afterFailure);
    EXPECT_EQ("WinUsb_Free " + narrow(winUsbUnitPath), *afterFailure);
    EXPECT_EQ("CloseHandle " + narrow(winUsbUnitPath), *(afterFailure + 1));
}

TEST_F(WinUsbStage, FailingDeviceDescriptorDropsTheDevice)
{
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"S").deviceDescriptorFails = true;
    sim.addWinUsb(winUsbUpperCasePath, L"Tervalis", L"P", L"OK");
    list.enumerateWinUsb(nullptr, nullptr);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"OK", list.devices()[0].serialNumber);
}

TEST_F(WinUsbStage, UnopenableDeviceIsSkipped)
{
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"S").openError = ERROR_ACCESS_DENIED;
    sim.addWinUsb(winUsbUpperCasePath, L"Tervalis", L"P", L"S").initializeFails = true;
    const std::uint32_t idsBefore = devices::WinUsbHandleCache::instance()->nextId();
    list.enumerateWinUsb(nullptr, nullptr);
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(idsBefore, devices::WinUsbHandleCache::instance()->nextId());
    EXPECT_EQ(1, sim.count("CloseHandle", winUsbUpperCasePath));
}

// A device answers a buffer smaller than the descriptor either with
// ERROR_INSUFFICIENT_BUFFER or, as USB GET_DESCRIPTOR does, with the first bytes
// and a length byte that says more: both are asked again with a larger buffer.
TEST_F(WinUsbStage, BufferGrowsUntilTheStringFits)
{
    const std::wstring longSerial(40, L'S');  // 82 bytes: tried at 64, then 128
    for (auto mode : {StringDescriptor::InsufficientBuffer, StringDescriptor::Truncate}) {
        SimulatedDevices answering;
        devices::ScopedDeviceSystem seam(answering);
        answering.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", longSerial).strings[3].mode = mode;
        list.enumerateWinUsb(nullptr, nullptr);
        ASSERT_EQ(1u, list.devices().size()) << mode;
        EXPECT_EQ(longSerial, list.devices()[0].serialNumber) << mode;
        EXPECT_EQ(1 + 1 + 1 + 2, answering.count("WinUsb_GetDescriptor")) << mode;
    }
}

TEST_F(WinUsbStage, StringThatNeverFitsFailsAfter2048Bytes)
{
    StringDescriptor huge;
    huge.bytes.assign(3000, 0x41);
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"S").strings[3] = huge;
    list.enumerateWinUsb(nullptr, nullptr);
    EXPECT_TRUE(list.devices().empty());
    // 64, 128, 256, 512, 1024, 2048 for the serial, after one read each for the others.
    EXPECT_EQ(1 + 1 + 1 + 6, sim.count("WinUsb_GetDescriptor"));
}

TEST_F(WinUsbStage, ListIsClearedEvenWhenTheClassCallFails)
{
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"S");
    list.enumerateWinUsb(nullptr, nullptr);
    ASSERT_EQ(1u, list.devices().size());
    sim.failClassDevs(ERROR_GEN_FAILURE);
    list.enumerateWinUsb(nullptr, nullptr);
    EXPECT_TRUE(list.devices().empty());
}

// SetupAPI terminates its paths; a detail that fills the whole buffer without a
// NUL is still read no further than the buffer.
TEST_F(WinUsbStage, PathFillingTheDetailWithoutNulEndsAtTheBuffer)
{
    std::wstring path = winUsbUnitPath;
    const std::size_t units = (devices::winUsbDetailBytes - devices::detailPathOffset) / 2;
    path.insert(path.find(L"#{"), units - path.size(), L'7');
    sim.addWinUsb(path, L"Tervalis", L"P", L"S").pathWithoutNul = true;
    guardNextAllocation(devices::winUsbDetailBytes);  // the stage's detail buffer
    list.enumerateWinUsb(nullptr, nullptr);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(path, list.devices()[0].devicePath);
}

// Descriptors that lie about their length: only bytes received are ever read.
struct BadDescriptor {
    const char* name;
    std::vector<unsigned char> bytes;
    StringDescriptor::Mode mode;
    ULONG shortTransfer;
    std::wstring expected;
};

class WinUsbBadDescriptors : public WinUsbStage,
                             public ::testing::WithParamInterface<BadDescriptor> {};

TEST_P(WinUsbBadDescriptors, TakeOnlyWhatWasReceived)
{
    StringDescriptor descriptor;
    descriptor.bytes = GetParam().bytes;
    descriptor.mode = GetParam().mode;
    descriptor.shortTransfer = GetParam().shortTransfer;
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"").strings[3] = descriptor;
    list.enumerateWinUsb(nullptr, nullptr);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(GetParam().expected, list.devices()[0].serialNumber);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WinUsbBadDescriptors,
    ::testing::Values(
        BadDescriptor{"LengthTwo", {2, 3}, StringDescriptor::InsufficientBuffer, 0, L""},
        BadDescriptor{"LengthZero", {0, 3, 'A', 0}, StringDescriptor::InsufficientBuffer, 0, L""},
        BadDescriptor{"LengthOne", {1, 3, 'A', 0}, StringDescriptor::InsufficientBuffer, 0, L""},
        BadDescriptor{"OddLength", {5, 3, 'A', 0, 'B'}, StringDescriptor::InsufficientBuffer, 0,
                      L"A"},
        BadDescriptor{"LengthBeyondReceived", {40, 3, 'A', 0, 'B', 0},
                      StringDescriptor::InsufficientBuffer, 0, L"AB"},
        BadDescriptor{"ShortTransfer", {8, 3, 'A', 0, 'B', 0, 'C', 0},
                      StringDescriptor::InsufficientBuffer, 5, L"A"},
        BadDescriptor{"SingleByte", {8}, StringDescriptor::InsufficientBuffer, 0, L""},
        BadDescriptor{"NothingTransferred", {8, 3, 'A', 0}, StringDescriptor::NothingTransferred, 0, L""},
        BadDescriptor{"TruncatedToBuffer", StringDescriptor::of(std::wstring(99, L'Q')).bytes,
                      StringDescriptor::Truncate, 0, std::wstring(99, L'Q')},
        // The transfer claims all 200 bytes though only the buffer's 64 arrived.
        BadDescriptor{"TransferOverReported", StringDescriptor::of(std::wstring(99, L'Q')).bytes,
                      StringDescriptor::OverReported, 0, std::wstring(99, L'Q')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WinUsbStage, ShortDeviceDescriptorCountsMissingIndicesAsAbsent)
{
    SimDevice& device = sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"S");
    device.deviceDescriptor.resize(15);  // iManufacturer arrives, iProduct and iSerialNumber do not
    list.enumerateWinUsb(nullptr, nullptr);
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"Tervalis", list.devices()[0].manufacturer);
    EXPECT_EQ(L"", list.devices()[0].product);
    EXPECT_EQ(L"", list.devices()[0].serialNumber);
}

} // namespace
