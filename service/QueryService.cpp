// The service query: asks the platform service for its devices, one exchange at a
// time, as far as the filters let each device through.
#include "devices/DeviceList.h"
#include "service/ServicePipe.h"
#include "service/ServiceProtocol.h"

#include <algorithm>

namespace devices {

namespace {

using namespace service;

// More units than anybody attaches to one computer. A count beyond this comes
// from a confused or hostile server, and walking it would hold the window for
// hours; the first units are still listed.
constexpr std::uint32_t maxServiceDevices = 32;

// Sends one request and reads its reply. The reply counts only when it is
// exactly 264 bytes, answers this request's sequence number and reports success.
bool ask(ServicePipe& pipe, ServiceCommand command, std::uint32_t deviceIndex, ServiceReply& reply)
{
    const ServiceRequest request(command, pipe.takeSequence(), deviceIndex);
    const std::uint32_t received =
        pipe.transact(request.bytes, messageBytes, reply.bytes, messageBytes);
    return received == messageBytes && reply.sequence() == request.sequence()
           && reply.status() == 0;
}

bool askString(ServicePipe& pipe, ServiceCommand command, std::uint32_t deviceIndex,
               std::wstring& field)
{
    ServiceReply reply;
    if (!ask(pipe, command, deviceIndex, reply))
        return false;
    field = reply.payloadString();
    return true;
}

} // namespace

bool DeviceList::queryService(IdFilter idFilter, StringFilter stringFilter)
{
    devices_.clear();
    ServicePipe pipe(servicePipeName());
    if (!pipe.connect()) {
        pipe.close();
        return false;
    }

    ServiceReply countReply;
    if (!ask(pipe, QueryDeviceCount, 0, countReply)) {
        pipe.close();
        return false;
    }
    const std::uint32_t count = std::min(countReply.payloadU32(8), maxServiceDevices);

    for (std::uint32_t index = 0; index < count; ++index) {
        ServiceReply idsReply;
        if (!ask(pipe, QueryDeviceIds, index, idsReply))
            continue;
        DeviceInfo device;
        device.vendorId = idsReply.payloadU32(8);
        device.productId = idsReply.payloadU32(12);
        device.transport = transportFromKind(idsReply.bytes[16]);
        if (!passesIdFilter(idFilter, device.vendorId, device.productId))
            continue;
        if (!askString(pipe, QueryManufacturer, index, device.manufacturer)
            || !askString(pipe, QueryProduct, index, device.product))
            continue;
        if (!passesStringFilter(stringFilter, device))
            continue;
        if (!askString(pipe, QuerySerial, index, device.serialNumber)
            || !askString(pipe, QueryDevicePath, index, device.devicePath))
            continue;
        devices_.push_back(device);
    }
    pipe.close();
    return true;
}

} // namespace devices
