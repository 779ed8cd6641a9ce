// The stages against the system's own SetupAPI and HID (Wine's, under test).
#include "app/Catalogue.h"
#include "devices/DeviceList.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

DWORD handleCount()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

TEST(RealSystem, StagesRunToCompletionFindNothingAndLeakNoHandle)
{
    devices::DeviceList list;
    // Warm up: the first calls load libraries and their own handles.
    list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
    list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
    const DWORD before = handleCount();
    for (int i = 0; i < 20; ++i) {
        list.enumerateWinUsb(app::platformIdFilter, app::platformStringFilter);
        list.enumerateHid(app::platformIdFilter, app::platformStringFilter, true);
        // Also without filters: the system's own HID devices are not platforms.
        list.enumerateHid(nullptr, nullptr, true);
    }
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(before, handleCount());
}

} // namespace
