// Random device and string descriptors through the WinUSB stage, and HID strings
// of every shape through the HID stage, all via the simulated device set.
#include "Random.h"
#include "devices/DeviceList.h"
#include "devices/WinUsbHandleCache.h"
#include "support/SimulatedDevices.h"

#include <gtest/gtest.h>

#include <map>

using namespace testing_support;

namespace {

std::vector<unsigned char> randomBytes(Random& random, std::size_t size)
{
    std::vector<unsigned char> bytes(size);
    for (unsigned char& b : bytes)
        b = random.byte();
    return bytes;
}

StringDescriptor randomDescriptor(Random& random)
{
    StringDescriptor d;
    const std::uint32_t shape = random.below(10);
    if (shape < 5) {
        // Well formed, or nearly: a real text with a length byte that may lie.
        std::wstring text;
        for (std::uint32_t i = random.below(140); i > 0; --i)
            text.push_back(static_cast<wchar_t>(0x20 + random.below(0x3000)));
        d = StringDescriptor::of(text);
        if (random.chance(30))
            d.bytes[0] = random.byte();
    } else if (shape < 9) {
        d.bytes = randomBytes(random, random.below(300));
    } else {
        d.bytes = randomBytes(random, 2000 + random.below(200));  // may never fit
    }
    const std::uint32_t mode = random.below(10);
    d.mode = mode < 6 ? StringDescriptor::InsufficientBuffer
                      : mode < 9 ? StringDescriptor::Truncate : StringDescriptor::Fail;
    if (random.chance(15))
        d.shortTransfer = 1 + random.below(80);
    return d;
}

// What the device hands over for a read, following the simulated transfer: the
// buffer grows from 64 to 2048 bytes while the device says it does not fit, or
// fills it while the length byte says there is more.
bool transferOf(const StringDescriptor& d, std::vector<unsigned char>& received)
{
    if (d.mode == StringDescriptor::Fail)
        return false;
    for (std::size_t size = 64;; size *= 2) {
        const bool refused = d.mode == StringDescriptor::InsufficientBuffer && size < d.bytes.size();
        std::size_t count = std::min(size, d.bytes.size());
        if (d.shortTransfer)
            count = std::min<std::size_t>(count, d.shortTransfer);
        const bool cut = !refused && count == size && d.bytes[0] > count;
        if (size <= 1024 && (refused || cut))
            continue;
        if (refused)
            return false;
        received.assign(d.bytes.begin(), d.bytes.begin() + count);
        return true;
    }
}

// The text a received descriptor can stand for: units from byte 2, no further
// than the length byte or the bytes received.
std::wstring legitimateText(const std::vector<unsigned char>& received)
{
    if (received.size() < 2)
        return {};
    const std::size_t length = std::min<std::size_t>(received[0], received.size());
    std::wstring text;
    for (std::size_t offset = 2; offset + 1 < length; offset += 2)
        text.push_back(static_cast<wchar_t>(received[offset] | received[offset + 1] << 8));
    return text;
}

TEST(DescriptorFuzz, WinUsbRecordsCarryOnlyWhatTheDescriptorsHeld)
{
    const std::uint32_t wanted = fuzzIterations(100000);
    Random random(8122026);
    std::uint64_t descriptors = 0;
    std::uint64_t devicesFed = 0;
    std::uint64_t accepted = 0;
    for (std::uint32_t batch = 0; descriptors < wanted; ++batch) {
        SimulatedDevices sim;
        devices::ScopedDeviceSystem seam(sim);
        std::map<std::wstring, SimDevice*> byPath;
        for (int n = 0; n < 40; ++n) {
            const bool goodIds = !random.chance(5);
            const std::wstring path = (goodIds ? L"\\\\?\\usb#vid_0483&pid_a110#" : L"\\\\?\\usb#vid_zz&pid_0000#")
                                      + std::to_wstring(batch) + L"_" + std::to_wstring(n) + L"#{x}";
            SimDevice& device = sim.addWinUsb(path, L"", L"", L"");
            device.strings.clear();
            device.deviceDescriptor = randomBytes(random, random.below(25));
            if (random.chance(70) && device.deviceDescriptor.size() > 16) {
                device.deviceDescriptor[14] = static_cast<unsigned char>(random.below(5));
                device.deviceDescriptor[15] = static_cast<unsigned char>(random.below(5));
                device.deviceDescriptor[16] = static_cast<unsigned char>(random.below(5));
            }
            device.deviceDescriptorFails = random.chance(3);
            for (UCHAR index = 1; index < 5; ++index)
                if (!random.chance(5))
                    device.strings[index] = randomDescriptor(random);
            byPath[path] = &device;
        }
        devices::DeviceList list;
        list.enumerateWinUsb(nullptr, nullptr);
        descriptors += sim.count("WinUsb_GetDescriptor");
        devicesFed += byPath.size();
        accepted += list.devices().size();

        std::map<std::wstring, const devices::DeviceInfo*> listed;
        for (const devices::DeviceInfo& record : list.devices())
            listed[record.devicePath] = &record;
        for (const auto& [path, device] : byPath) {
            const bool goodIds = path.find(L"vid_0483") != std::wstring::npos;
            if (!goodIds) {
                EXPECT_EQ(0, sim.count("CreateFileW", path));
                EXPECT_EQ(0u, listed.count(path));
                continue;
            }
            // What a correct stage could list for this device.
            bool readable = !device->deviceDescriptorFails;
            std::wstring expected[3];
            const std::size_t header = std::min<std::size_t>(device->deviceDescriptor.size(), 18);
            for (int k = 0; k < 3 && readable; ++k) {
                const UCHAR index = 14 + k < static_cast<int>(header) ? device->deviceDescriptor[14 + k] : 0;
                if (index == 0)
                    continue;
                std::vector<unsigned char> received;
                auto found = device->strings.find(index);
                readable = found != device->strings.end() && transferOf(found->second, received);
                if (readable)
                    expected[k] = legitimateText(received);
            }
            ASSERT_EQ(readable, listed.count(path) == 1) << narrow(path);
            if (!readable)
                continue;
            const devices::DeviceInfo& record = *listed[path];
            EXPECT_EQ(expected[0], record.manufacturer);
            EXPECT_EQ(expected[1], record.product);
            EXPECT_EQ(expected[2], record.serialNumber);
            EXPECT_EQ(devices::TransportWinUsb, record.transport);
        }
        ASSERT_EQ("", sim.leftOver());
        if (HasFailure())
            return;
    }
    EXPECT_EQ(0u, devices::WinUsbHandleCache::instance()->entryCount());
    std::printf("descriptors fed: %llu to %llu devices, %llu listed\n",
                static_cast<unsigned long long>(descriptors),
                static_cast<unsigned long long>(devicesFed),
                static_cast<unsigned long long>(accepted));
}

HidString randomHidString(Random& random, std::wstring& legitimate, bool& succeeds)
{
    const std::uint32_t shape = random.below(10);
    succeeds = true;
    if (shape == 0) {
        succeeds = false;
        return HidString::failing();
    }
    if (shape == 1) {
        legitimate = std::wstring(126, L'Z');
        return HidString::unterminated();
    }
    std::wstring text;
    for (std::uint32_t i = random.chance(10) ? 120 + random.below(10) : random.below(40); i > 0; --i)
        text.push_back(static_cast<wchar_t>(1 + random.below(0xFFFE)));
    // A string with its NUL does not fit in 252 bytes beyond 125 units.
    succeeds = text.size() <= 125;
    legitimate = succeeds ? text : L"";
    return HidString::of(text);
}

TEST(DescriptorFuzz, HidStringsOfEveryShape)
{
    const std::uint32_t wanted = fuzzIterations(100000);
    Random random(1208);
    std::uint64_t strings = 0;
    for (std::uint32_t batch = 0; strings < wanted; ++batch) {
        SimulatedDevices sim;
        devices::ScopedDeviceSystem seam(sim);
        struct Expected {
            std::wstring manufacturer, product, serial;
            bool listed;
        };
        std::map<std::wstring, Expected> expected;
        for (int n = 0; n < 40; ++n) {
            const std::wstring path = L"\\\\?\\hid#vid_0483&pid_a110#" + std::to_wstring(batch) + L"_"
                                      + std::to_wstring(n) + L"&0000#{x}";
            Expected e;
            bool manufacturerOk = false, productOk = false, serialOk = false;
            SimDevice& device = sim.addHid(path, 0x0483, 0xA110, L"", L"", L"");
            device.manufacturer = randomHidString(random, e.manufacturer, manufacturerOk);
            device.product = randomHidString(random, e.product, productOk);
            device.serial = randomHidString(random, e.serial, serialOk);
            if (!serialOk)
                e.serial.clear();
            e.listed = manufacturerOk && productOk && !e.manufacturer.empty() && !e.product.empty();
            expected[path] = e;
        }
        devices::DeviceList list;
        list.enumerateHid(nullptr, nullptr, true);
        strings += sim.count("HidD_GetManufacturerString") + sim.count("HidD_GetProductString")
                   + sim.count("HidD_GetSerialNumberString");
        std::size_t listed = 0;
        for (const devices::DeviceInfo& record : list.devices()) {
            const Expected& e = expected.at(record.devicePath);
            ASSERT_TRUE(e.listed);
            EXPECT_EQ(e.manufacturer, record.manufacturer);
            EXPECT_EQ(e.product, record.product);
            EXPECT_EQ(e.serial, record.serialNumber);
            ++listed;
        }
        std::size_t shouldList = 0;
        for (const auto& [path, e] : expected)
            shouldList += e.listed;
        ASSERT_EQ(shouldList, listed);
        ASSERT_EQ("", sim.leftOver());
        if (HasFailure())
            return;
    }
    std::printf("HID strings fed: %llu\n", static_cast<unsigned long long>(strings));
}

} // namespace
