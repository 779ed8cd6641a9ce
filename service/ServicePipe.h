// The client end of one connection to the platform service's named pipe.
#pragma once

#include "common/UniqueHandle.h"
#include "service/ServiceChannel.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace service {

// The pipe path the client opens: the service's own, unless a test pointed the
// client at a server of its own.
const std::wstring& servicePipeName();
void setServicePipeName(const std::wstring& name);

class ServicePipe final : public ServiceChannel {
public:
    explicit ServicePipe(std::wstring name);
    ~ServicePipe() override;
    ServicePipe(const ServicePipe&) = delete;
    ServicePipe& operator=(const ServicePipe&) = delete;

    // Opens the pipe if it is closed, waiting while it is busy, and switches it to
    // message read mode. True when the pipe is open afterwards.
    bool connect() override;
    bool isConnected() const { return handle_.valid(); }
    // One request and its reply; the number of reply bytes, 0 on any failure.
    std::uint32_t transact(const void* request, std::uint32_t requestSize, void* reply,
                           std::uint32_t replySize) override;
    void close() override;

    // The sequence number for the next request; every request uses one up.
    std::uint32_t takeSequence() override { return nextSequence_++; }

private:
    std::wstring name_;
    common::FileHandle handle_;
    std::uint32_t nextSequence_;
};

} // namespace service
