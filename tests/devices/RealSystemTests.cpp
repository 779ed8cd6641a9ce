// The stages against the system's own SetupAPI and HID (Wine's, under test).
#include "app/Catalogue.h"
#include "devices/DeviceList.h"
#include "support/ProcessCounters.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {


TEST(RealSystem, StagesRunToCompletionFindNothingAndLeakNoHandle)
{
    devices::DeviceList list;
    // Warm up: the first calls load libraries and their own handles.
    list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
    list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
    const DWORD before = testing_support::countOpenHandles();
    for (int i = 0; i < 20; ++i) {
        list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
        list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
        // Also without filters: the system's own HID devices are not platforms.
        list.enumerateHid(nullptr, nullptr, true);
    }
    EXPECT_TRUE(list.devices().empty());
    EXPECT_GT(before, 0u);
    EXPECT_EQ(before, testing_support::countOpenHandles());
}

} // namespace
