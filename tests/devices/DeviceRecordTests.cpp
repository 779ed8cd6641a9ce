#include "devices/DeviceInfo.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceInfo, NewRecordIsEmptyAndCopiesAreIndependent)
{
    devices::DeviceInfo record;
    EXPECT_EQ(0u, record.vendorId);
    EXPECT_EQ(0u, record.productId);
    EXPECT_TRUE(record.manufacturer.empty() && record.product.empty()
                && record.serialNumber.empty() && record.devicePath.empty());
    EXPECT_EQ(devices::TransportHid, record.transport);

    record.serialNumber = L"A";
    devices::DeviceInfo copy = record;
    copy.serialNumber += L"B";
    EXPECT_EQ(L"A", record.serialNumber);
}

bool refuseAll(std::uint32_t, std::uint32_t) { return false; }

TEST(Filters, NullAcceptsAndRefusalIsHonoured)
{
    devices::DeviceInfo record;
    EXPECT_TRUE(devices::passesIdFilter(nullptr, 1, 2));
    EXPECT_FALSE(devices::passesIdFilter(&refuseAll, 1, 2));
    EXPECT_TRUE(devices::passesStringFilter(nullptr, record));
}

} // namespace
