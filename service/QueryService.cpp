// The service query: asks the platform service for its devices, one exchange at a
// time, as far as the filters let each device through.
#include "service/QueryService.h"

#include "service/ServiceProtocol.h"

#include <algorithm>

namespace service {

namespace {

using devices::DeviceInfo;

// More units than anybody attaches to one computer. A count beyond this comes
// from a confused or hostile server, and walking it would hold the window for
// hours; the first units are still listed.
constexpr std::uint32_t maxServiceDevices = 32;

// Sends one request and reads its reply. The reply counts only when it is
// exactly 264 bytes, answers this request's sequence number and reports success.
bool ask(ServiceChannel& pipe, ServiceCommand command, std::uint32_t deviceIndex, ServiceReply& reply)
{
    const ServiceRequest request(command, pipe.takeSequence(), deviceIndex);
    const std::uint32_t received =
        pipe.transact(request.bytes, messageBytes, reply.bytes, messageBytes);
    return received == messageBytes && reply.sequence() == request.sequence()
           && reply.status() == 0;
}

bool askString(ServiceChannel& pipe, ServiceCommand command, std::uint32_t deviceIndex,
               std::wstring& field)
{
    ServiceReply reply;
    if (!ask(pipe, command, deviceIndex, reply))
        return false;
    field = reply.payloadString();
    return true;
}

} // namespace

bool askDevices(ServiceChannel& pipe, devices::IdFilter idFilter,
                devices::StringFilter stringFilter, std::vector<DeviceInfo>& found)
{
    ServiceReply countReply;
    if (!ask(pipe, QueryDeviceCount, 0, countReply))
        return false;
    const std::uint32_t count = std::min(countReply.payloadU32(8), maxServiceDevices);

    for (std::uint32_t index = 0; index < count; ++index) {
        ServiceReply idsReply;
        if (!ask(pipe, QueryDeviceIds, index, idsReply))
            continue;
        DeviceInfo device;
        device.vendorId = idsReply.payloadU32(8);
        device.productId = idsReply.payloadU32(12);
        device.transport = transportFromKind(idsReply.bytes[16]);
        if (!devices::passesIdFilter(idFilter, device.vendorId, device.productId))
            continue;
        if (!askString(pipe, QueryManufacturer, index, device.manufacturer)
            || !askString(pipe, QueryProduct, index, device.product))
            continue;
        if (!devices::passesStringFilter(stringFilter, device))
            continue;
        if (!askString(pipe, QuerySerial, index, device.serialNumber)
            || !askString(pipe, QueryDevicePath, index, device.devicePath))
            continue;
        found.push_back(device);
    }
    return true;
}

} // namespace service
