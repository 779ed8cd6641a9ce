// How the scan asks the platform service without depending on the service
// folder: the scan calls whatever link is bound, and the program binds the pipe
// client (service/PipeServiceLink.h) at start. Unbound, the service counts as
// unreachable.
#pragma once

#include "devices/DeviceInfo.h"

#include <vector>

namespace devices {

class ServiceLink {
public:
    virtual ~ServiceLink() = default;
    // Appends the devices the service reports that pass the filters; true when
    // it answered the device count, also when it reported none.
    virtual bool queryDevices(IdFilter idFilter, StringFilter stringFilter,
                              std::vector<DeviceInfo>& found) = 0;
};

// Binds the scan to a link for the life of this object.
class ScopedServiceLink {
public:
    explicit ScopedServiceLink(ServiceLink& link);
    ~ScopedServiceLink();
    ScopedServiceLink(const ScopedServiceLink&) = delete;
    ScopedServiceLink& operator=(const ScopedServiceLink&) = delete;

private:
    ServiceLink* previous_;
};

} // namespace devices
