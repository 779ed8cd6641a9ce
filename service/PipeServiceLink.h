// The scan's link to the platform service over its named pipe: a new
// connection for each query, closed again when the query is done.
#pragma once

#include "devices/ServiceLink.h"

namespace service {

devices::ServiceLink& pipeServiceLink();

} // namespace service
