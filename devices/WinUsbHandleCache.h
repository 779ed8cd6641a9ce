// The process-wide cache of open WinUSB devices: each path is opened at most once
// while anybody uses it, users are counted, one user at a time gets the interface
// handle, and the last one to let go closes the device.
#pragma once

#include "devices/DeviceHandle.h"
#include "devices/DeviceSystem.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace devices {

// One open device. Its interface is freed before its file is closed (members go
// in reverse order).
struct CachedWinUsbDevice {
    DeviceHandle fileHandle;
    WinUsbInterface interfaceHandle;
    std::uint32_t refCount;
    std::wstring devicePath;
};

class WinUsbHandleCache {
public:
    // The process-wide cache; null until the first WinUsbDeviceRef exists.
    static WinUsbHandleCache* instance();

    bool open(const std::wstring& path, std::uint32_t& entryId);
    void release(std::uint32_t entryId);
    WINUSB_INTERFACE_HANDLE lock(std::uint32_t entryId);
    void unlock(std::uint32_t entryId, bool discard);

    // Inspection, for diagnostics and tests.
    std::size_t entryCount();
    std::uint32_t nextId();
    std::uint32_t refCountOf(std::uint32_t entryId);  // 0 when there is no such entry
    bool isBusy(std::uint32_t entryId);

private:
    friend class WinUsbDeviceRef;
    static void create();
    static void teardown();
    void closeEntry(std::map<std::uint32_t, CachedWinUsbDevice>::iterator entry);

    std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::uint32_t, CachedWinUsbDevice> entries;
    std::set<std::uint32_t> busyIds;
    std::uint32_t nextEntryId = 0;
};

// A counted reference to an open device.
class WinUsbDeviceRef {
public:
    WinUsbDeviceRef();  // makes sure the cache exists; starts invalid
    ~WinUsbDeviceRef();
    WinUsbDeviceRef(const WinUsbDeviceRef&) = delete;
    WinUsbDeviceRef& operator=(const WinUsbDeviceRef&) = delete;

    // Releases what the reference held, then refers to the device at path,
    // opening it unless the cache already holds it open (exact, case-sensitive).
    bool open(const std::wstring& path);
    void release();

    bool valid = false;
    std::uint32_t entryId = 0;
};

// Exclusive use of a referenced device's interface handle.
class WinUsbDeviceLock {
public:
    explicit WinUsbDeviceLock(const WinUsbDeviceRef& reference);
    ~WinUsbDeviceLock();
    WinUsbDeviceLock(const WinUsbDeviceLock&) = delete;
    WinUsbDeviceLock& operator=(const WinUsbDeviceLock&) = delete;

    void release();

    bool valid;
    std::uint32_t entryId;
    WINUSB_INTERFACE_HANDLE interfaceHandle = nullptr;
    bool discard = false;  // set after a failed read: the device is closed at unlock
};

} // namespace devices
