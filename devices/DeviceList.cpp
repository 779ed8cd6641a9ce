#include "devices/DeviceList.h"

namespace devices {

// The product always asks the service first; tests change this to reach the other modes.
int discoveryMode = 0;

} // namespace devices
