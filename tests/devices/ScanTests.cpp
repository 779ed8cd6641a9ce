#include "devices/DeviceList.h"
#include "service/ServiceTestSupport.h"
#include "support/Files.h"
#include "support/DeviceTestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;
using devices::DeviceList;

namespace {


class Scan : public ServiceFixture {
protected:
    ~Scan() override { devices::discoveryMode = devices::DiscoveryMode::ServiceElseWinUsb; }

    void runScan() { list.scan(app::platformIdFilter, app::platformStringFilter); }
    int winUsbClassCalls()
    {
        // Both stages ask for a class set; HID's is preceded by HidD_GetHidGuid.
        return sim.count("SetupDiGetClassDevsW") - sim.count("HidD_GetHidGuid");
    }

    SimulatedDevices sim;
    devices::ScopedDeviceSystem seam{sim};
    DeviceList list;
};

TEST_F(Scan, NoServiceMakesThreeAttemptsWithPausesThenWinUsbAndHid)
{
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"P", L"HIDSERIAL");
    runScan();
    // A pause of 2 ms after each failed attempt, the last one included, before any stage.
    const auto calls = sim.calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(3, "Sleep 2"), std::vector<std::string>(calls.begin(), calls.begin() + 3));
    EXPECT_EQ(3, sim.count("Sleep 2"));
    EXPECT_EQ("E: GEC:2003, X:2\r\nE: GEC:2003, X:2\r\nE: GEC:2003, X:2\r\n", log.entries());
    EXPECT_EQ(1, winUsbClassCalls());
    EXPECT_EQ(1, sim.count("HidD_GetHidGuid"));
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"HIDSERIAL", list.devices()[0].serialNumber);
}

TEST_F(Scan, ServiceWithNoDevicesSkipsWinUsbButNotHid)
{
    serve({});
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"USB");
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"P", L"HID");
    runScan();
    EXPECT_EQ(0, winUsbClassCalls());
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"HID", list.devices()[0].serialNumber);
    EXPECT_EQ(1u, requestsFor(service::QueryDeviceCount).size());
}

TEST_F(Scan, ServiceRecordsComeFirstAndSuppressTheirHidTwin)
{
    serve({makeUnit(L"TWIN", 1), makeUnit(L"SECOND", 1)});
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"P", L"TWIN");
    runScan();
    ASSERT_EQ(2u, list.devices().size());
    EXPECT_EQ(L"TWIN", list.devices()[0].serialNumber);
    EXPECT_EQ(devices::TransportService, list.devices()[0].transport);
    EXPECT_EQ(L"SECOND", list.devices()[1].serialNumber);
}

TEST_F(Scan, ServiceRecordWithTransportZeroNeverSuppresses)
{
    serve({makeUnit(L"TWIN", 0)});
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"P", L"TWIN");
    runScan();
    ASSERT_EQ(2u, list.devices().size());
    EXPECT_EQ(devices::TransportHid, list.devices()[1].transport);
}

// A WinUSB unit's HID twin is listed once; one whose serial differs in case, twice.
TEST_F(Scan, WinUsbTwinOfAHidDeviceIsListedOnce)
{
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"TWIN");
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"P", L"TWIN");
    sim.addHid(hidSecondPath, 0x0483, 0xA110, L"Tervalis", L"P", L"twin");
    runScan();
    ASSERT_EQ(2u, list.devices().size());
    EXPECT_EQ(devices::TransportWinUsb, list.devices()[0].transport);
    EXPECT_EQ(hidSecondPath, list.devices()[1].devicePath);
}

TEST_F(Scan, ModeOneNeverEnumeratesWinUsb)
{
    devices::discoveryMode = devices::DiscoveryMode::ServiceOnly;
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"USB");
    sim.addHid(hidUnitPath, 0x0483, 0xA110, L"Tervalis", L"P", L"HID");
    runScan();
    EXPECT_EQ(3, countOf(log.text(), "GEC:2003"));
    EXPECT_EQ(0, winUsbClassCalls());
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"HID", list.devices()[0].serialNumber);
}

TEST_F(Scan, ModeTwoNeverAsksTheService)
{
    devices::discoveryMode = devices::DiscoveryMode::WinUsbOnly;
    serve({makeUnit(L"SVC")});
    sim.addWinUsb(winUsbUnitPath, L"Tervalis", L"P", L"USB");
    runScan();
    EXPECT_TRUE(server->requests().empty());
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"USB", list.devices()[0].serialNumber);
}

TEST_F(Scan, FailedAttemptsLeaveNoRecordBehind)
{
    // The count fails twice, then the service answers: only the third answer counts.
    serve({makeUnit(L"A")}, {simulator::badStatus().on(service::QueryDeviceCount).times(2)});
    runScan();
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(3u, requestsFor(service::QueryDeviceCount).size());
    EXPECT_EQ(0, winUsbClassCalls());
    // A query whose count fails leaves nothing of the list it had.
    server->setFaults({simulator::badStatus().on(service::QueryDeviceCount)});
    EXPECT_FALSE(list.queryService(nullptr, nullptr));
    EXPECT_TRUE(list.devices().empty());
}

TEST_F(Scan, ScanStartsFromAnEmptyList)
{
    serve({makeUnit(L"A")});
    runScan();
    runScan();
    EXPECT_EQ(1u, list.devices().size());
}

} // namespace
