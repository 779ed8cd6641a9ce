// The real executable finding units on Wine's own device stack (SetupAPI,
// hid.dll, hidclass.sys and the PnP manager): virtual HID and WinUSB units
// plugged into this program's own prefix while one instance of the tool keeps
// scanning, with the test-only winusb.dll selected for it.
#include "Accessibility.h"
#include "ChildProcess.h"
#include "DllOverrides.h"
#include "PlatformServiceSimulator.h"
#include "UiDriver.h"
#include "VirtualUnits.h"
#include "app/MainWindow.h"
#include "app/SerialDisplay.h"
#include "support/Files.h"
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using virtual_units::UnitKind;

const std::wstring notFound = app::notFoundText;
const std::wstring firstCollection = L"ROOT\\VID_0483&PID_A110\\7&1A2B3C4D&0&0000";
const std::wstring secondCollection = L"ROOT\\VID_0483&PID_A110\\7&1A2B3C4D&0&0001";  // no "&0000#{"
const std::wstring winUsbUnit = L"ROOT\\VID_0483&PID_A110\\QV0001";
// A HID unit listed after the one above (SetupAPI lists interfaces by path).
const std::wstring laterCollection = L"ROOT\\VID_0483&PID_A110\\7&9F00&0&0000";
const std::vector<std::wstring> platform = {L"Manufacturer=Tervalis", L"Product=Quorvel Motion",
                                            L"Serial=QV24A7C1E900B3D51F06A2E8"};
const std::wstring platformShown = L"QV24A7-C1E900-B3D51F-06A2E8";
const std::wstring longSerial = L"Serial=QV" + std::wstring(38, L'4');  // 40 units: 82-byte descriptor
const std::wstring longShown = L"QV4444-444444-444444-" + std::wstring(22, L'4');

std::vector<std::wstring> platformWith(std::vector<std::wstring> more)
{
    std::vector<std::wstring> settings = platform;
    settings.insert(settings.end(), more.begin(), more.end());
    return settings;
}

// How far the tool went with a unit: not at all, opened it only, or read its strings.
enum Use { Untouched, OpenedOnly, Read };

struct UnitCase {
    const char* name;
    UnitKind kind;
    std::wstring instance;
    std::vector<std::wstring> settings;
    bool hidTwin;  // a HID unit with serial number HIDTWIN is plugged in too, listed after the unit
    int service;   // -1 none; otherwise the simulator serves this many units of its own
    std::wstring shown;
    Use use;
};

void PrintTo(const UnitCase& c, std::ostream* out)
{
    *out << c.name;
}

class UsbUnits : public ::testing::TestWithParam<UnitCase> {
protected:
    static void SetUpTestSuite()
    {
        for (const std::wstring& unit : virtual_units::listUnits())
            virtual_units::removeUnit(unit.substr(0, unit.find(L' ')));
        // Wine's winusb.dll is stubs: the tool gets the test-only one, in this
        // prefix's system32, through an override for the tool alone.
        ASSERT_TRUE(CopyFileW((standIns() + L"\\winusb.dll").c_str(), L"C:\\windows\\system32\\winusb.dll", FALSE));
        overrides = std::make_unique<uidriver::DllOverrides>(L"Tervalis_Quorvel.exe");
        ASSERT_TRUE(overrides->set(L"winusb", L"native"));
        product = uidriver::ChildProcess::start(uidriver::ChildProcess::productPath());
        ASSERT_TRUE(product);
        window = uidriver::waitForMainWindow(15000);
        ASSERT_NE(nullptr, window);
    }
    static void TearDownTestSuite()
    {
        if (window)
            uidriver::click(window, uidriver::closeButtonCentre);
        product.waitForExit(10000);
        product.end();
        overrides.reset();
    }
    static std::wstring standIns() { return uidriver::buildPath(L"\\tests\\standins"); }
    static std::wstring waitForShown(const std::wstring& expected)
    {
        return uidriver::waitForShown(window, expected, 20);
    }

    void TearDown() override;

    static std::unique_ptr<uidriver::DllOverrides> overrides;
    static uidriver::ChildProcess product;
    static HWND window;
};

uidriver::ChildProcess UsbUnits::product;
std::unique_ptr<uidriver::DllOverrides> UsbUnits::overrides;
HWND UsbUnits::window = nullptr;

// Each case plugs a unit in while the tool runs, sees what it shows, and
// unplugs it again: the unit must be gone at the next scan. No handle of a
// WinUSB unit stays open after a scan.
TEST_P(UsbUnits, ShownAsItsStackPresentsIt)
{
    const UnitCase& c = GetParam();
    std::unique_ptr<simulator::PlatformServiceSimulator> service;
    if (c.service >= 0) {
        simulator::SimulatorConfig config;
        config.pipeName = service::productPipeName;
        for (int i = 0; i < c.service; ++i)
            config.units.push_back(simulator::makeUnit(L"SERVICEUNIT" + std::to_wstring(i)));
        service = std::make_unique<simulator::PlatformServiceSimulator>(config);
        ASSERT_TRUE(service->start());
    }
    if (c.hidTwin) {
        ASSERT_TRUE(virtual_units::addHidUnit(laterCollection, {L"Manufacturer=Tervalis",
                                              L"Product=Quorvel Motion", L"Serial=HIDTWIN"}));
    }
    ASSERT_TRUE(virtual_units::addUnit(c.kind, c.instance, c.settings));
    const bool hid = c.kind == UnitKind::Hid;
    const wchar_t* const readsCounter = hid ? L"StringRequests" : L"DescriptorRequests";
    // What the driver stack asked before the unit appeared is not the tool's:
    // Wine 10's HID class driver asks for the strings when it starts a unit.
    DWORD stackReads = 99;
    if (!virtual_units::waitForInterface(c.instance, 3000)) {
        // Wine 10's class driver also fails the unit when that serial request fails.
        if (hid && virtual_units::readNumber(c.instance, readsCounter, stackReads) && stackReads > 0)
            GTEST_SKIP() << "the HID class driver asked for the strings at start and failed the unit "
                            "(Wine 10): a unit whose serial fails cannot be plugged in";
        FAIL() << "the unit's interface did not appear";
    }
    EXPECT_TRUE(virtual_units::readNumber(c.instance, readsCounter, stackReads));
    Sleep(2300);  // two scans with the unit present, whatever was shown before it
    EXPECT_EQ(c.shown, waitForShown(c.shown));
    // The HID class driver's device, HID\VID_...\INSTANCE, counts the HID unit's opens.
    const std::wstring opened = hid ? L"HID" + c.instance.substr(c.instance.find(L'\\')) : c.instance;
    DWORD opens = 99, reads = 99, open = 99;
    EXPECT_TRUE(virtual_units::readNumber(opened, L"Opens", opens));
    EXPECT_TRUE(virtual_units::readNumber(c.instance, readsCounter, reads));
    EXPECT_EQ(c.use != Untouched, opens > 0) << opens;
    EXPECT_EQ(c.use == Read, reads > stackReads) << reads << " requests, " << stackReads << " before the tool";
    // Nothing stays open after a scan: between two scans the count is back at 0.
    for (int attempt = 0; attempt < 40 && open != 0; ++attempt, Sleep(25))
        EXPECT_TRUE(virtual_units::readNumber(opened, L"OpenHandles", open));
    EXPECT_EQ(0u, open);
    ASSERT_TRUE(virtual_units::removeUnit(c.instance));
    if (c.hidTwin) {
        ASSERT_TRUE(virtual_units::removeUnit(laterCollection));
    }
    if (service)
        service->stop();
    EXPECT_EQ(notFound, waitForShown(notFound));
}

void UsbUnits::TearDown()
{
    virtual_units::removeUnit(GetParam().instance);  // after a failed case too
    virtual_units::removeUnit(laterCollection);
}

const std::wstring winUsbShown = L"WINUSB-000000-000000-000001";
const std::vector<std::wstring> winUsbPlatform = {L"Manufacturer=Tervalis", L"Product=Quorvel Motion",
                                                  L"Serial=WINUSB000000000000000001"};

// One delay-loaded DLL missing at a time, with a WinUSB unit and a HID unit of
// different serials plugged in and no service: the tool keeps running, shows
// what the remaining stages find (the WinUSB unit first, as the scan orders
// them; the HID unit where winusb.dll is missing) and still copies it. A copy of
// the tool under a name of its own takes the overrides, so nothing else does.
// version.dll cannot be taken away under Wine: Wine's own user32 and setupapi
// import it, so no Wine process starts without it (the tool calls it only for a
// version line its log does not write; scripts/check-image covers its loading).
TEST(DelayLoadedDllsAlone, EachMissingDllLeavesTheOtherPathsWorking)
{
    const uidriver::ComApartment com;
    for (const std::wstring& unit : virtual_units::listUnits())
        virtual_units::removeUnit(unit.substr(0, unit.find(L' ')));
    ASSERT_TRUE(CopyFileW(uidriver::buildPath(L"\\tests\\standins\\winusb.dll").c_str(),
                          L"C:\\windows\\system32\\winusb.dll", FALSE));
    const std::wstring exe = uidriver::buildPath(L"\\tests\\Alone_Quorvel.exe");
    ASSERT_TRUE(CopyFileW(uidriver::ChildProcess::productPath().c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(virtual_units::addUnit(UnitKind::WinUsb, winUsbUnit, winUsbPlatform));
    ASSERT_TRUE(virtual_units::addUnit(UnitKind::Hid, firstCollection, platform));
    ASSERT_TRUE(virtual_units::waitForInterface(winUsbUnit, 3000));
    ASSERT_TRUE(virtual_units::waitForInterface(firstCollection, 3000));
    const struct {
        const wchar_t* missing;
        const std::wstring& shown;
    } rows[] = {{L"hid", winUsbShown}, {L"winusb", platformShown}, {L"uxtheme", winUsbShown},
                {L"oleacc", winUsbShown}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing_support::narrow(row.missing));
        uidriver::DllOverrides overrides(L"Alone_Quorvel.exe");
        ASSERT_TRUE(overrides.set(L"winusb", L"native"));  // the test-only WinUSB, where not missing
        ASSERT_TRUE(overrides.disable(row.missing));
        uidriver::ChildProcess tool = uidriver::ChildProcess::start(exe);
        ASSERT_TRUE(tool);
        const HWND window = uidriver::waitForMainWindow(15000);
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(row.shown, uidriver::waitForShown(window, row.shown, 20));  // shown, and copied
        // A screen reader asks: without oleacc.dll the system's own answer names the window.
        EXPECT_EQ(app::mainWindowTitle, uidriver::accessibleChild(window).name);
        EXPECT_TRUE(tool.running());
        uidriver::click(window, uidriver::closeButtonCentre);
        EXPECT_EQ(0u, tool.waitForExit(10000).value_or(12345));
    }
    virtual_units::removeUnit(winUsbUnit);
    virtual_units::removeUnit(firstCollection);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsbUnits,
    ::testing::Values(
        UnitCase{"HidUnitWithoutService", UnitKind::Hid, firstCollection, platform, false, -1, platformShown, Read},
        UnitCase{"ServiceWithNoDevicesLeavesTheHidUnit", UnitKind::Hid, firstCollection, platform, false, 0,
                 platformShown, Read},
        UnitCase{"ServiceUnitComesFirst", UnitKind::Hid, firstCollection, platform, false, 1, L"SERVIC-EUNIT0", Read},
        UnitCase{"KpxAccepted", UnitKind::Hid, firstCollection, platformWith({L"Manufacturer=KPX"}), false, -1,
                 platformShown, Read},
        UnitCase{"LowerCaseKpxRefused", UnitKind::Hid, firstCollection, platformWith({L"Manufacturer=kpx"}),
                 false, -1, notFound, Read},
        UnitCase{"BootloaderRefused", UnitKind::Hid, firstCollection, platformWith({L"Product=Emberload-X"}),
                 false, -1, notFound, Read},
        UnitCase{"ForeignProductNeverAskedForStrings", UnitKind::Hid, firstCollection,
                 platformWith({L"ProductId=A111"}), false, -1, notFound, OpenedOnly},
        UnitCase{"OtherCollectionNeverOpened", UnitKind::Hid, secondCollection, platform, false, -1, notFound, Untouched},
        // Kept with an empty serial: it is the first record, so the later twin is not shown.
        UnitCase{"HidFailingSerialKeptWithEmptySerial", UnitKind::Hid, firstCollection,
                 platformWith({L"FailStrings=4"}), true, -1, notFound, Read},
        UnitCase{"WinUsbUnitWithoutService", UnitKind::WinUsb, winUsbUnit, winUsbPlatform, false, -1, winUsbShown, Read},
        UnitCase{"WinUsbUnitBeforeItsHidTwin", UnitKind::WinUsb, winUsbUnit, winUsbPlatform, true, -1, winUsbShown, Read},
        UnitCase{"ServiceWithNoDevicesNeverOpensWinUsb", UnitKind::WinUsb, winUsbUnit, winUsbPlatform, true, 0,
                 L"HIDTWI-N", Untouched},
        // Dropped: the HID twin after it is the first record.
        UnitCase{"WinUsbFailingSerialDroppedAndClosed", UnitKind::WinUsb, winUsbUnit,
                 platformWith({L"FailDescriptors=8"}), true, -1, L"HIDTWI-N", Read},
        UnitCase{"OtherSetupClassNeverOpened", UnitKind::WinUsbOtherClass, winUsbUnit, winUsbPlatform, false, -1,
                 notFound, Untouched},
        UnitCase{"LongSerialRefusedForASmallBuffer", UnitKind::WinUsb, winUsbUnit,
                 platformWith({longSerial, L"SmallBuffer=0"}), false, -1, longShown, Read},
        UnitCase{"LongSerialCutToASmallBuffer", UnitKind::WinUsb, winUsbUnit,
                 platformWith({longSerial, L"SmallBuffer=1"}), false, -1, longShown, Read}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
