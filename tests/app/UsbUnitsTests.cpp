// The real executable finding units on Wine's own device stack (SetupAPI,
// hid.dll, hidclass.sys and the PnP manager): virtual HID units plugged into
// this program's own prefix while one instance of the tool keeps scanning.
#include "PlatformServiceSimulator.h"
#include "UiDriver.h"
#include "VirtualUnits.h"
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const std::wstring notFound = L"(no motion unit has been found)";
const std::wstring firstCollection = L"ROOT\\VID_0483&PID_A110\\7&1A2B3C4D&0&0000";
const std::wstring secondCollection = L"ROOT\\VID_0483&PID_A110\\7&1A2B3C4D&0&0001";  // no "&0000#{"
const std::vector<std::wstring> platform = {L"Manufacturer=Tervalis", L"Product=Quorvel Motion",
                                            L"Serial=QV24A7C1E900B3D51F06A2E8"};
const std::wstring platformShown = L"QV24A7-C1E900-B3D51F-06A2E8";

std::vector<std::wstring> platformWith(std::wstring setting)
{
    std::vector<std::wstring> settings = platform;
    settings.push_back(std::move(setting));
    return settings;
}

struct UnitCase {
    const char* name;
    std::wstring instance;
    std::vector<std::wstring> settings;
    int service;  // -1 none; otherwise the simulator serves this many units of its own
    std::wstring shown;
    bool askedForStrings;  // whether the tool reads the unit's strings at all
};

class UsbUnits : public ::testing::TestWithParam<UnitCase> {
protected:
    static void SetUpTestSuite()
    {
        for (const std::wstring& unit : virtual_units::listUnits())
            virtual_units::removeUnit(unit.substr(0, unit.find(L' ')));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + productPath() + L"\"";
        ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &product));
        window = uidriver::waitForMainWindow(15000);
        ASSERT_NE(nullptr, window);
    }
    static void TearDownTestSuite()
    {
        if (window)
            uidriver::click(window, uidriver::closeButtonCentre);
        WaitForSingleObject(product.hProcess, 10000);
        CloseHandle(product.hProcess);
        CloseHandle(product.hThread);
    }
    static std::wstring productPath()
    {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path(self);
        path.resize(path.rfind(L'\\'));
        path.resize(path.rfind(L'\\'));
        return path + L"\\app\\Tervalis_Quorvel.exe";
    }
    // What the field shows once it shows expected, or after a few scans.
    static std::wstring waitForShown(const std::wstring& expected)
    {
        std::wstring shown;
        for (int attempt = 0; attempt < 20 && shown != expected; ++attempt) {
            Sleep(250);
            shown = uidriver::copyShownText(window).value_or(L"<no clipboard text>");
        }
        return shown;
    }

    void TearDown() override;

    static PROCESS_INFORMATION product;
    static HWND window;
};

PROCESS_INFORMATION UsbUnits::product = {};
HWND UsbUnits::window = nullptr;

// Each case plugs one unit in while the tool runs, sees what it shows, and
// unplugs it again: the unit must be gone at the next scan.
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
    ASSERT_TRUE(virtual_units::addHidUnit(c.instance, c.settings));
    ASSERT_TRUE(virtual_units::waitForHidInterface(c.instance, 3000));
    if (c.shown == notFound)
        Sleep(2300);  // two scans with the unit present
    EXPECT_EQ(c.shown, waitForShown(c.shown));
    DWORD requests = 99;
    EXPECT_TRUE(virtual_units::readNumber(c.instance, L"StringRequests", requests));
    EXPECT_EQ(c.askedForStrings, requests > 0) << requests;
    ASSERT_TRUE(virtual_units::removeUnit(c.instance));
    if (service)
        service->stop();
    EXPECT_EQ(notFound, waitForShown(notFound));
}

void UsbUnits::TearDown()
{
    virtual_units::removeUnit(GetParam().instance);  // after a failed case too
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsbUnits,
    ::testing::Values(
        UnitCase{"HidUnitWithoutService", firstCollection, platform, -1, platformShown, true},
        UnitCase{"ServiceWithNoDevicesLeavesTheHidUnit", firstCollection, platform, 0, platformShown, true},
        UnitCase{"ServiceUnitComesFirst", firstCollection, platform, 1, L"SERVIC-EUNIT0", true},
        UnitCase{"KpxAccepted", firstCollection, platformWith(L"Manufacturer=KPX"), -1, platformShown, true},
        UnitCase{"LowerCaseKpxRefused", firstCollection, platformWith(L"Manufacturer=kpx"), -1, notFound, true},
        UnitCase{"BootloaderRefused", firstCollection, platformWith(L"Product=Emberload-X"), -1, notFound, true},
        UnitCase{"ForeignProductNeverAskedForStrings", firstCollection, platformWith(L"ProductId=A111"),
                 -1, notFound, false},
        UnitCase{"OtherCollectionNeverOpened", secondCollection, platform, -1, notFound, false},
        UnitCase{"FailingSerialKeptWithEmptySerial", firstCollection, platformWith(L"FailStrings=4"),
                 -1, notFound, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
