// What the discovery tests share: device paths, a fixture with a simulated device
// set bound to the seam, and whole-record comparison with EXPECT_EQ, which
// reports the caller's line and prints both records.
#pragma once

#include "devices/DeviceList.h"
#include "devices/WinUsbHandleCache.h"
#include "support/SimulatedDevices.h"

#include <gtest/gtest.h>

#include <ostream>
#include <tuple>

namespace devices {

inline bool operator==(const DeviceInfo& a, const DeviceInfo& b)
{
    const auto fields = [](const DeviceInfo& d) {
        return std::tie(d.vendorId, d.productId, d.manufacturer, d.product, d.serialNumber,
                        d.devicePath, d.transport);
    };
    return fields(a) == fields(b);
}

inline void PrintTo(const DeviceInfo& d, std::ostream* out)
{
    using testing_support::narrow;
    *out << std::hex << "{0x" << d.vendorId << ", 0x" << d.productId << std::dec << ", \""
         << narrow(d.manufacturer) << "\", \"" << narrow(d.product) << "\", \""
         << narrow(d.serialNumber) << "\", \"" << narrow(d.devicePath) << "\", " << d.transport
         << "}";
}

} // namespace devices

namespace testing_support {

inline const std::wstring hidUnitPath =
    L"\\\\?\\hid#vid_0483&pid_a110#7&2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
inline const std::wstring hidSecondPath =
    L"\\\\?\\hid#vid_0483&pid_a110#7&9f00&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
inline const std::wstring winUsbUnitPath =
    L"\\\\?\\usb#vid_0483&pid_a110#QV0001#{6b128895-01de-4056-8aee-c10bf3c4763a}";
inline const std::wstring winUsbUpperCasePath =
    L"\\\\?\\USB#VID_0483&PID_A110#QV0002#{6B128895-01DE-4056-8AEE-C10BF3C4763A}";

inline devices::DeviceInfo record(std::uint32_t vendorId, std::uint32_t productId,
                                  std::wstring manufacturer, std::wstring product,
                                  std::wstring serial, std::wstring path, std::uint32_t transport)
{
    return {vendorId, productId, std::move(manufacturer), std::move(product), std::move(serial),
            std::move(path), transport};
}

// A simulated device set bound to the seam for one test; afterwards every file,
// set and WinUSB interface must have been released exactly once.
class DeviceStageTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ("", sim.leftOver());
        EXPECT_EQ(0u, devices::WinUsbHandleCache::instance()->entryCount());
    }

    SimulatedDevices sim;
    devices::ScopedDeviceSystem seam{sim};
    devices::WinUsbDeviceRef cacheExists;  // the cache exists whichever test runs first, or alone
    devices::DeviceList list;
};

} // namespace testing_support
