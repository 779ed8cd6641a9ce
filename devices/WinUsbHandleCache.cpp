#include "devices/WinUsbHandleCache.h"

#include "devices/DeviceHandle.h"

#include <atomic>
#include <cstdlib>

namespace devices {

namespace {
std::atomic<WinUsbHandleCache*> g_cache{nullptr};
std::atomic<std::uint32_t> g_creationCount{0};
}

WinUsbHandleCache* WinUsbHandleCache::instance()
{
    return g_cache.load();
}

void WinUsbHandleCache::create()
{
    // One atomic increment elects the creator; everybody else waits for the pointer.
    std::uint32_t expected = 0;
    if (g_creationCount.load() != 0 || !g_creationCount.compare_exchange_strong(expected, 1)) {
        while (!g_cache.load())
            SwitchToThread();
        return;
    }
    auto* cache = new WinUsbHandleCache();
    std::atexit(&WinUsbHandleCache::teardown);
    g_cache.store(cache);
}

void WinUsbHandleCache::teardown()
{
    WinUsbHandleCache* cache = g_cache.exchange(nullptr);
    if (!cache)
        return;
    cache->busyIds.clear();
    cache->entries.clear();
    delete cache;
}

void WinUsbHandleCache::closeEntry(std::map<std::uint32_t, CachedWinUsbDevice>::iterator entry)
{
    entries.erase(entry);
}

bool WinUsbHandleCache::open(const std::wstring& path, std::uint32_t& entryId)
{
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto& [id, entry] : entries) {
        if (entry.devicePath == path) {
            ++entry.refCount;
            entryId = id;
            return true;
        }
    }

    DeviceSystem& system = deviceSystem();
    DeviceHandle file(system.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!file)
        return false;
    WinUsbInterface usb;
    if (!system.WinUsb_Initialize(file.get(), usb.put())) {
        usb.release();  // nothing was handed out: whatever the call left there is no interface
        return false;
    }
    const std::uint32_t id = nextEntryId;
    // Insert before the id is used up, so a failed insertion costs no id. An
    // insertion that runs out of memory frees the interface and closes the file
    // with the entry it was building.
    entries.emplace(id, CachedWinUsbDevice{std::move(file), std::move(usb), 1, path});
    ++nextEntryId;
    entryId = id;
    return true;
}

void WinUsbHandleCache::release(std::uint32_t entryId)
{
    std::lock_guard<std::mutex> guard(mutex_);
    auto entry = entries.find(entryId);
    if (entry == entries.end())
        return;
    if (entry->second.refCount > 0)
        --entry->second.refCount;
    if (entry->second.refCount != 0)
        return;
    // A lock holder closes the device itself when it ends.
    if (busyIds.count(entryId))
        return;
    closeEntry(entry);
}

WINUSB_INTERFACE_HANDLE WinUsbHandleCache::lock(std::uint32_t entryId)
{
    std::unique_lock<std::mutex> guard(mutex_);
    for (;;) {
        auto entry = entries.find(entryId);
        if (entry == entries.end())
            return nullptr;
        if (busyIds.insert(entryId).second)
            return entry->second.interfaceHandle.get();
        released_.wait(guard);
    }
}

void WinUsbHandleCache::unlock(std::uint32_t entryId, bool discard)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        busyIds.erase(entryId);
        auto entry = entries.find(entryId);
        if (entry != entries.end() && (entry->second.refCount == 0 || discard))
            closeEntry(entry);
    }
    released_.notify_all();
}

std::size_t WinUsbHandleCache::entryCount()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return entries.size();
}

std::uint32_t WinUsbHandleCache::nextId()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return nextEntryId;
}

std::uint32_t WinUsbHandleCache::refCountOf(std::uint32_t entryId)
{
    std::lock_guard<std::mutex> guard(mutex_);
    auto entry = entries.find(entryId);
    return entry == entries.end() ? 0 : entry->second.refCount;
}

bool WinUsbHandleCache::isBusy(std::uint32_t entryId)
{
    std::lock_guard<std::mutex> guard(mutex_);
    return busyIds.count(entryId) != 0;
}

WinUsbDeviceRef::WinUsbDeviceRef()
{
    if (!g_cache.load())
        WinUsbHandleCache::create();
}

WinUsbDeviceRef::~WinUsbDeviceRef()
{
    release();
}

bool WinUsbDeviceRef::open(const std::wstring& path)
{
    release();
    std::uint32_t id = 0;
    if (!WinUsbHandleCache::instance()->open(path, id))
        return false;
    valid = true;
    entryId = id;
    return true;
}

void WinUsbDeviceRef::release()
{
    if (!valid)
        return;
    if (WinUsbHandleCache* cache = WinUsbHandleCache::instance())
        cache->release(entryId);
    valid = false;
}

WinUsbDeviceLock::WinUsbDeviceLock(const WinUsbDeviceRef& reference)
    : valid(reference.valid), entryId(reference.entryId)
{
    if (valid)
        interfaceHandle = WinUsbHandleCache::instance()->lock(entryId);
}

WinUsbDeviceLock::~WinUsbDeviceLock()
{
    release();
}

void WinUsbDeviceLock::release()
{
    if (!valid)
        return;
    if (WinUsbHandleCache* cache = WinUsbHandleCache::instance())
        cache->unlock(entryId, discard);
    valid = false;
    interfaceHandle = nullptr;
}

} // namespace devices
