// The service query over any channel: the device count, then each device as far
// as the filters let it through.
#pragma once

#include "devices/DeviceInfo.h"
#include "service/ServiceChannel.h"

#include <vector>

namespace service {

// Appends the devices the service reports to found; true when it answered the
// device count. A device whose replies do not count is skipped.
bool askDevices(ServiceChannel& channel, devices::IdFilter idFilter,
                devices::StringFilter stringFilter, std::vector<devices::DeviceInfo>& found);

} // namespace service
