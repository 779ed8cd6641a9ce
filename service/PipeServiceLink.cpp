#include "service/PipeServiceLink.h"

#include "service/QueryService.h"
#include "service/ServicePipe.h"

namespace service {

namespace {

class PipeServiceLink final : public devices::ServiceLink {
public:
    bool queryDevices(devices::IdFilter idFilter, devices::StringFilter stringFilter,
                      std::vector<devices::DeviceInfo>& found) override
    {
        ServicePipe pipe(servicePipeName());
        if (!pipe.connect()) {
            pipe.close();
            return false;
        }
        const bool answered = askDevices(pipe, idFilter, stringFilter, found);
        pipe.close();
        return answered;
    }
};

} // namespace

devices::ServiceLink& pipeServiceLink()
{
    static PipeServiceLink link;
    return link;
}

} // namespace service
