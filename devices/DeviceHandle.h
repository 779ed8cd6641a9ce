// Owner of a device file handle opened through the device seam.
#pragma once

#include "devices/DeviceSystem.h"

namespace devices {

class DeviceHandle {
public:
    explicit DeviceHandle(HANDLE handle) : handle_(handle) {}
    ~DeviceHandle()
    {
        if (valid())
            deviceSystem().CloseHandle(handle_);
    }
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

} // namespace devices
