#include "devices/WinUsbHandleCache.h"
#include "support/SimulatedDevices.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace testing_support;
using devices::WinUsbDeviceLock;
using devices::WinUsbDeviceRef;
using devices::WinUsbHandleCache;

namespace {

const std::wstring pathA = L"\\\\?\\usb#vid_0483&pid_a110#A#{6b128895}";
const std::wstring pathB = L"\\\\?\\usb#vid_0483&pid_a110#B#{6b128895}";
const std::wstring pathAUpper = L"\\\\?\\USB#VID_0483&PID_A110#A#{6B128895}";

class HandleCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.addWinUsb(pathA, L"Tervalis", L"P", L"A");
        sim.addWinUsb(pathB, L"Tervalis", L"P", L"B");
        sim.addWinUsb(pathAUpper, L"Tervalis", L"P", L"a");
        WinUsbDeviceRef warmUp;  // makes sure the process-wide cache exists
        cache = WinUsbHandleCache::instance();
        firstId = cache->nextId();
    }
    void TearDown() override
    {
        EXPECT_EQ(0u, cache->entryCount());
        // Every path closes what it opened and destroys each set exactly once.
        EXPECT_EQ("", sim.leftOver());
    }

    SimulatedDevices sim;
    devices::ScopedDeviceSystem seam{sim};
    WinUsbHandleCache* cache = nullptr;
    std::uint32_t firstId = 0;
};

TEST_F(HandleCache, TwoOpensOfOnePathShareOneFileAndOneId)
{
    WinUsbDeviceRef first;
    WinUsbDeviceRef second;
    ASSERT_TRUE(first.open(pathA));
    ASSERT_TRUE(second.open(pathA));
    EXPECT_EQ(first.entryId, second.entryId);
    EXPECT_EQ(firstId, first.entryId);
    EXPECT_EQ(1, sim.count("CreateFileW"));
    EXPECT_EQ(2u, cache->refCountOf(first.entryId));

    first.release();
    EXPECT_FALSE(first.valid);
    EXPECT_EQ(1u, cache->entryCount());
    EXPECT_EQ(0, sim.count("CloseHandle"));
    second.release();
    EXPECT_EQ(0u, cache->entryCount());
    EXPECT_EQ(1, sim.count("WinUsb_Free"));
    EXPECT_EQ(1, sim.count("CloseHandle"));
}

TEST_F(HandleCache, PathsDifferingInCaseAreTwoEntries)
{
    WinUsbDeviceRef lower;
    WinUsbDeviceRef upper;
    ASSERT_TRUE(lower.open(pathA));
    ASSERT_TRUE(upper.open(pathAUpper));
    EXPECT_NE(lower.entryId, upper.entryId);
    EXPECT_EQ(2, sim.count("CreateFileW"));
    EXPECT_EQ(2u, cache->entryCount());
}

// The device closes when the last of its lock and its reference goes, in either order.
TEST_F(HandleCache, LastOfLockAndReferenceClosesTheDevice)
{
    for (const bool lockFirst : {true, false}) {
        const int freed = sim.count("WinUsb_Free");
        WinUsbDeviceRef reference;
        ASSERT_TRUE(reference.open(pathA));
        WinUsbDeviceLock lock(reference);
        EXPECT_NE(nullptr, lock.interfaceHandle);
        EXPECT_TRUE(cache->isBusy(reference.entryId));
        lockFirst ? lock.release() : reference.release();
        EXPECT_EQ(1u, cache->entryCount()) << lockFirst;  // still held by the other
        EXPECT_EQ(freed, sim.count("WinUsb_Free")) << lockFirst;
        lockFirst ? reference.release() : lock.release();
        EXPECT_EQ(0u, cache->entryCount()) << lockFirst;
        EXPECT_EQ(freed + 1, sim.count("WinUsb_Free")) << lockFirst;
    }
}

// A discarded lock closes the device although references remain; a lock made
// later from one of them has a null handle, and their releases find nothing.
TEST_F(HandleCache, DiscardClosesAtOnceDespiteRemainingReferences)
{
    WinUsbDeviceRef reference;
    WinUsbDeviceRef other;
    ASSERT_TRUE(reference.open(pathA));
    ASSERT_TRUE(other.open(pathA));
    {
        WinUsbDeviceLock discarding(reference);
        discarding.discard = true;
    }
    EXPECT_EQ(0u, cache->entryCount());
    WinUsbDeviceLock late(other);
    EXPECT_EQ(nullptr, late.interfaceHandle);
    late.release();
    reference.release();
    other.release();
    EXPECT_EQ(1, sim.count("CloseHandle"));
}

TEST_F(HandleCache, FailedOpenUsesUpNoId)
{
    sim.addWinUsb(L"\\\\?\\usb#denied", L"", L"", L"").openError = ERROR_ACCESS_DENIED;
    sim.addWinUsb(L"\\\\?\\usb#noinit", L"", L"", L"").initializeFails = true;
    sim.addWinUsb(L"\\\\?\\usb#no-memory-left", L"", L"", L"").outOfMemoryAfterInitialize = true;
    WinUsbDeviceRef reference;
    EXPECT_FALSE(reference.open(L"\\\\?\\usb#denied"));
    EXPECT_FALSE(reference.open(L"\\\\?\\usb#noinit"));
    // The failure leaves the scan, but the device it had opened is closed (TearDown).
    EXPECT_THROW(reference.open(L"\\\\?\\usb#no-memory-left"), std::bad_alloc);
    EXPECT_FALSE(reference.open(L"\\\\?\\usb#absent"));
    EXPECT_FALSE(reference.valid);
    EXPECT_EQ(firstId, cache->nextId());

    WinUsbDeviceRef a;
    WinUsbDeviceRef b;
    ASSERT_TRUE(a.open(pathA));
    ASSERT_TRUE(b.open(pathB));
    EXPECT_EQ(firstId, a.entryId);
    EXPECT_EQ(firstId + 1, b.entryId);
}

TEST_F(HandleCache, OpenReleasesWhatTheReferenceHeld)
{
    WinUsbDeviceRef reference;
    ASSERT_TRUE(reference.open(pathA));
    ASSERT_TRUE(reference.open(pathB));
    EXPECT_EQ(1u, cache->entryCount());
    EXPECT_EQ(1, sim.count("CloseHandle", pathA));
}

TEST_F(HandleCache, LockFromInvalidReferenceTouchesNothing)
{
    WinUsbDeviceRef reference;
    sim.clearCalls();
    {
        WinUsbDeviceLock lock(reference);
        EXPECT_FALSE(lock.valid);
        EXPECT_EQ(nullptr, lock.interfaceHandle);
    }
    EXPECT_TRUE(sim.calls().empty());
}

TEST_F(HandleCache, ManyThreadsShareDevicesWithoutLeaksOrDoubleCloses)
{
    constexpr int threads = 6;
    constexpr int rounds = 300;
    std::atomic<int> readsDone{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> inUse[2] = {{0}, {0}};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int round = 0; round < rounds; ++round) {
                const int which = (t + round) % 2;
                WinUsbDeviceRef reference;
                if (!reference.open(which ? pathB : pathA))
                    continue;
                WinUsbDeviceLock lock(reference);
                if (inUse[which].fetch_add(1) != 0)
                    ++overlaps;
                UCHAR descriptor[18];
                ULONG received = 0;
                if (!devices::deviceSystem().WinUsb_GetDescriptor(lock.interfaceHandle, 1, 0, 0,
                                                                  descriptor, 18, &received))
                    lock.discard = true;
                else
                    ++readsDone;
                inUse[which].fetch_sub(1);
                if (round % 7 == 0)
                    reference.release();  // the lock then closes the device
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(0, overlaps.load());  // a lock is exclusive per device
    EXPECT_EQ(threads * rounds, readsDone.load());
    // Ids were handed out once per device actually opened, in order.
    EXPECT_EQ(firstId + sim.count("CreateFileW"), cache->nextId());
}

} // namespace
