// A platform-service simulator on a pipe of the test's own, with the client
// pointed at it for the life of the fixture.
#pragma once

#include "PlatformServiceSimulator.h"
#include "app/Catalogue.h"
#include "devices/ServiceLink.h"
#include "service/PipeServiceLink.h"
#include "service/ServicePipe.h"
#include "service/ServiceProtocol.h"
#include "support/CallSite.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>

namespace testing_support {

inline std::wstring uniquePipeName()
{
    static std::atomic<int> counter{0};
    return L"\\\\.\\pipe\\quorvel_test_" + std::to_wstring(GetCurrentProcessId()) + L"_"
           + std::to_wstring(++counter);
}

using simulator::makeUnit;

class ServiceFixture : public ::testing::Test {
protected:
    ServiceFixture() { service::setServicePipeName(pipeName); }
    ~ServiceFixture() override
    {
        if (server)
            server->stop();
        service::setServicePipeName(service::productPipeName);
    }

    void serve(std::vector<simulator::SimulatedUnit> units, std::vector<simulator::Fault> faults = {},
               DWORD busyMs = 0, CallSite site = {})
    {
        TRACE_CALLER(site);
        simulator::SimulatorConfig config;
        config.pipeName = pipeName;
        config.units = std::move(units);
        config.faults = std::move(faults);
        config.busyMs = busyMs;
        config.holdReadsMs = holdReadsMs;
        server = std::make_unique<simulator::PlatformServiceSimulator>(config);
        ASSERT_TRUE(server->start());
    }

    // The requests the server saw for one command (0: all).
    std::vector<simulator::RecordedRequest> requestsFor(std::uint32_t command = 0)
    {
        std::vector<simulator::RecordedRequest> found;
        for (const auto& r : server->requests())
            if (command == 0 || r.command == command)
                found.push_back(r);
        return found;
    }

    const devices::ScopedServiceLink link{service::pipeServiceLink()};
    DWORD holdReadsMs = 0;  // the server's pause before it reads each request
    std::wstring pipeName = uniquePipeName();
    std::unique_ptr<simulator::PlatformServiceSimulator> server;
    LogCapture log;
};

} // namespace testing_support
