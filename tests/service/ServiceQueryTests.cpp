#include "devices/DeviceList.h"
#include "service/ServiceTestSupport.h"
#include "support/DeviceTestSupport.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using namespace testing_support;
using devices::DeviceList;
using simulator::FaultKind;

namespace {

class ServiceQuery : public ServiceFixture {
protected:
    DeviceList list;
};

TEST_F(ServiceQuery, AbsentServiceFailsWithOpenErrorTwo)
{
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(list.queryService(app::platformIdFilter, app::platformStringFilter));
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ("E: GEC:2003, X:2\r\n", log.entries());

    // A service that reports no devices has still answered.
    serve({});
    EXPECT_TRUE(list.queryService(app::platformIdFilter, app::platformStringFilter));
    EXPECT_TRUE(list.devices().empty());
}

TEST_F(ServiceQuery, ListsEachUnitWithEveryField)
{
    serve({makeUnit(L"SERIAL000000000000000001"), makeUnit(L"SERIAL2", 0)});
    ASSERT_TRUE(list.queryService(app::platformIdFilter, app::platformStringFilter));
    ASSERT_EQ(2u, list.devices().size());
    EXPECT_EQ(record(0x0483, 0xA110, L"Tervalis", L"Quorvel Motion", L"SERIAL000000000000000001",
                     L"sim:SERIAL000000000000000001", devices::TransportService),
              list.devices()[0]);
    EXPECT_EQ(devices::TransportHid, list.devices()[1].transport);
    // 1 + 5 exchanges per accepted device, all on one connection.
    EXPECT_EQ(11u, server->requests().size());
    EXPECT_TRUE(log.text().empty());
}

TEST_F(ServiceQuery, SequenceNumbersStartAt100InEveryQuery)
{
    serve({makeUnit(L"A")});
    ASSERT_TRUE(list.queryService(nullptr, nullptr));
    ASSERT_TRUE(list.queryService(nullptr, nullptr));
    const auto requests = server->requests();
    ASSERT_EQ(12u, requests.size());
    const std::uint32_t expectedCommands[] = {170, 171, 172, 173, 174, 175};
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(100 + i % 6, requests[i].sequence) << i;
        EXPECT_EQ(expectedCommands[i % 6], requests[i].command) << i;
        EXPECT_EQ(0u, requests[i].deviceIndex) << i;
    }
}

TEST_F(ServiceQuery, KindOneBecomesTransportTwoOthersStay)
{
    serve({makeUnit(L"k0", 0), makeUnit(L"k1", 1), makeUnit(L"k2", 2), makeUnit(L"k7", 7)});
    ASSERT_TRUE(list.queryService(nullptr, nullptr));
    ASSERT_EQ(4u, list.devices().size());
    EXPECT_EQ(devices::TransportHid, list.devices()[0].transport);
    EXPECT_EQ(devices::TransportService, list.devices()[1].transport);
    EXPECT_EQ(devices::TransportService, list.devices()[2].transport);
    EXPECT_EQ(7u, list.devices()[3].transport);
}

TEST_F(ServiceQuery, LongStringsGiveTheirFirst127Units)
{
    serve({makeUnit(std::wstring(200, L'S')), makeUnit(L"short")},
          {simulator::longString().on(service::QueryProduct, 1)});
    ASSERT_TRUE(list.queryService(nullptr, nullptr));
    ASSERT_EQ(2u, list.devices().size());
    EXPECT_EQ(std::wstring(127, L'S'), list.devices()[0].serialNumber);
    EXPECT_EQ(std::wstring(127, L'L'), list.devices()[1].product);
}

TEST_F(ServiceQuery, RefusedByIdFilterCostsNoStringRequest)
{
    serve({makeUnit(L"other", 1, 0xA111), makeUnit(L"ok")});
    ASSERT_TRUE(list.queryService(app::platformIdFilter, app::platformStringFilter));
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"ok", list.devices()[0].serialNumber);
    for (const auto& r : server->requests())
        EXPECT_FALSE(r.deviceIndex == 0 && r.command > service::QueryDeviceIds) << r.command;
}

TEST_F(ServiceQuery, RefusedByStringFilterCostsNoSerialOrPathRequest)
{
    serve({makeUnit(L"boot", 1, 0xA110, L"Emberload"), makeUnit(L"ok")});
    ASSERT_TRUE(list.queryService(app::platformIdFilter, app::platformStringFilter));
    ASSERT_EQ(1u, list.devices().size());
    for (const auto& r : requestsFor(service::QuerySerial))
        EXPECT_EQ(1u, r.deviceIndex);
    for (const auto& r : requestsFor(service::QueryDevicePath))
        EXPECT_EQ(1u, r.deviceIndex);
    EXPECT_EQ(2u, requestsFor(service::QueryProduct).size());
}

struct BadReply {
    const char* name;
    FaultKind kind;
    std::uint32_t value;
};

class ServiceQueryBadReplies : public ServiceQuery,
                               public ::testing::WithParamInterface<BadReply> {};

TEST_P(ServiceQueryBadReplies, OnTheCountTheQueryFails)
{
    serve({makeUnit(L"A")}, {simulator::faultOf(GetParam().kind, GetParam().value).on(service::QueryDeviceCount)});
    EXPECT_FALSE(list.queryService(nullptr, nullptr));
    EXPECT_TRUE(list.devices().empty());
    EXPECT_EQ(1u, server->requests().size());
}

TEST_P(ServiceQueryBadReplies, OnADeviceOnlyThatDeviceIsSkipped)
{
    for (std::uint32_t command = service::QueryDeviceIds; command <= service::QueryDevicePath;
         ++command) {
        serve({makeUnit(L"first"), makeUnit(L"second"), makeUnit(L"third")},
              {simulator::faultOf(GetParam().kind, GetParam().value).on(command, 1)});
        ASSERT_TRUE(list.queryService(nullptr, nullptr)) << command;
        ASSERT_EQ(2u, list.devices().size()) << command;
        EXPECT_EQ(L"first", list.devices()[0].serialNumber);
        EXPECT_EQ(L"third", list.devices()[1].serialNumber);
        // The requests after the failure go on with the next index.
        const auto requests = server->requests();
        EXPECT_EQ(2u, requests.back().deviceIndex) << command;
        server->stop();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceQueryBadReplies,
    ::testing::Values(BadReply{"WrongSequence", FaultKind::WrongSequence, 0},
                      BadReply{"NonZeroStatus", FaultKind::BadStatus, 5},
                      BadReply{"ShortReply", FaultKind::WrongLength, 263},
                      BadReply{"LongReply", FaultKind::WrongLength, 300},
                      BadReply{"EmptyReply", FaultKind::WrongLength, 0},
                      BadReply{"ClosedWithoutReply", FaultKind::CloseWithoutReply, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceQuery, LateReplyIsCancelledAndTheNextRequestReconnects)
{
    serve({makeUnit(L"first"), makeUnit(L"second")},
          {simulator::delayReply(700).on(service::QuerySerial, 0).times(1)});
    const DWORD start = GetTickCount();
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(list.queryService(nullptr, nullptr));
    const DWORD elapsed = GetTickCount() - start;
    ASSERT_EQ(1u, list.devices().size());
    EXPECT_EQ(L"second", list.devices()[0].serialNumber);
    EXPECT_GE(elapsed, 490u);
    EXPECT_LT(elapsed, 2000u);
    EXPECT_EQ("E: GEC:2005, X:997\r\n", log.entries());  // and no 2002: the reconnect worked

    const auto requests = server->requests();
    ASSERT_EQ(10u, requests.size());  // count, 4 for the first device, 5 for the second
    for (std::size_t i = 0; i < requests.size(); ++i)
        EXPECT_EQ(100 + i, requests[i].sequence) << i;
    // The late serial request was the last on the first connection.
    EXPECT_EQ(service::QuerySerial, requests[4].command);
    EXPECT_EQ(requests[0].connection, requests[4].connection);
    EXPECT_NE(requests[4].connection, requests[5].connection);
}

// A time-out sets no Windows error of its own: the entry carries the 997 of the
// operation left pending, never a value left over from an earlier call.
TEST_F(ServiceQuery, LateCountReplyFailsTheQuery)
{
    serve({makeUnit(L"A")}, {simulator::delayReply(700).on(service::QueryDeviceCount).times(1)});
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(list.queryService(nullptr, nullptr));
    EXPECT_EQ("E: GEC:2005, X:997\r\n", log.entries());
}

// A service that does not take the request within 500 ms: the pending write is
// cancelled before the request buffer goes away, and the pipe is closed.
TEST_F(ServiceQuery, UntakenRequestIsCancelledAfter500Ms)
{
    holdReadsMs = 700;
    serve({makeUnit(L"A")});
    service::ServicePipe pipe(pipeName);
    const service::ServiceRequest request(service::QueryDeviceCount, pipe.takeSequence(), 0);
    service::ServiceReply reply;
    SetLastError(0xdeadbeef);
    const DWORD start = GetTickCount();
    EXPECT_EQ(0u, pipe.transact(request.bytes, service::messageBytes, reply.bytes,
                                service::messageBytes));
    EXPECT_LT(GetTickCount() - start, 690u);  // it did not wait for the server's read
    EXPECT_FALSE(pipe.isConnected());
    EXPECT_EQ("E: GEC:2006, X:997\r\n", log.entries());
}

TEST_F(ServiceQuery, HostileDeviceCountIsCapped)
{
    // A server that claims four billion devices but knows one.
    serve({makeUnit(L"A")}, {simulator::reportDeviceCount(0xFFFFFFFF).on(service::QueryDeviceCount)});
    ASSERT_TRUE(list.queryService(nullptr, nullptr));
    EXPECT_EQ(1u, list.devices().size());
    EXPECT_EQ(32u, requestsFor(service::QueryDeviceIds).size());
}

// A pipe busy for 300 ms is within the 500 ms wait.
TEST_F(ServiceQuery, BusyPipeIsWaitedFor)
{
    serve({makeUnit(L"A")}, {}, 300);
    Sleep(30);  // the simulator's own client now holds the only instance
    const DWORD start = GetTickCount();
    ASSERT_TRUE(list.queryService(nullptr, nullptr)) << log.text();
    EXPECT_GE(GetTickCount() - start, 200u);  // it did wait for the pipe
    EXPECT_EQ(1u, list.devices().size());
    EXPECT_EQ(0, countOf(log.text(), "GEC:"));
}

TEST_F(ServiceQuery, BusyPipeWhoseWaitFailsLogs2004Then2002)
{
    serve({makeUnit(L"A")}, {}, INFINITE);
    Sleep(30);
    EXPECT_FALSE(list.queryService(nullptr, nullptr));
    EXPECT_EQ("E: GEC:2004\r\n", log.entries());

    // Inside a transaction the failed open is followed by 2002.
    service::ServicePipe pipe(pipeName);
    const service::ServiceRequest request(service::QueryDeviceCount, pipe.takeSequence(), 0);
    service::ServiceReply reply;
    EXPECT_EQ(0u, pipe.transact(request.bytes, service::messageBytes, reply.bytes,
                                service::messageBytes));
    EXPECT_EQ("E: GEC:2004\r\nE: GEC:2004\r\nE: GEC:2002\r\n", log.entries());
}

TEST_F(ServiceQuery, TransactRefusesMissingBuffers)
{
    service::ServicePipe pipe(pipeName);
    unsigned char buffer[service::messageBytes] = {};
    EXPECT_EQ(0u, pipe.transact(nullptr, service::messageBytes, buffer, service::messageBytes));
    EXPECT_EQ(0u, pipe.transact(buffer, 0, buffer, service::messageBytes));
    EXPECT_EQ(0u, pipe.transact(buffer, service::messageBytes, nullptr, service::messageBytes));
    EXPECT_FALSE(pipe.isConnected());  // nothing was opened for them
    EXPECT_EQ("E: GEC:2000\r\nE: GEC:2000\r\nE: GEC:2001\r\n", log.entries());

    // Without a reply buffer the request is only written.
    serve({makeUnit(L"A")});
    const service::ServiceRequest request(service::QueryDeviceCount, pipe.takeSequence(), 0);
    EXPECT_EQ(0u, pipe.transact(request.bytes, service::messageBytes, nullptr, 0));
    EXPECT_TRUE(pipe.isConnected());
    pipe.close();
    EXPECT_FALSE(pipe.isConnected());
    pipe.close();
}

} // namespace

namespace {

// The impersonation level a pipe server gets from one connected client, or -1
// when the system does not let it impersonate at all.
// connectClient connects, sends one byte, and keeps the connection open until
// the wait it is handed returns.
int serverImpersonationLevel(const std::wstring& name,
                             const std::function<void(const std::function<void()>&)>& connectClient)
{
    HANDLE server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                     4096, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE)
        return -1;
    int level = -1;
    std::thread serving([&] {
        if (!ConnectNamedPipe(server, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
            return;
        unsigned char byte = 0;
        DWORD read = 0;
        ReadFile(server, &byte, 1, &read, nullptr);
        HANDLE token = nullptr;
        if (ImpersonateNamedPipeClient(server)
            && OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
            SECURITY_IMPERSONATION_LEVEL got = SecurityAnonymous;
            DWORD size = 0;
            if (GetTokenInformation(token, TokenImpersonationLevel, &got, sizeof got, &size))
                level = got;
            CloseHandle(token);
        }
        RevertToSelf();
    });
    connectClient([&] { serving.join(); });
    if (serving.joinable())
        serving.join();
    CloseHandle(server);
    return level;
}

// Whoever serves the pipe may learn who the client is, but never act as it.
TEST(ServicePipeSecurity, ServerCanIdentifyButNotImpersonateTheClient)
{
    const std::wstring name = testing_support::uniquePipeName();
    const unsigned char byte = 1;
    const int ours = serverImpersonationLevel(name, [&](const std::function<void()>& wait) {
        service::ServicePipe client(name);
        client.transact(&byte, 1, nullptr, 0);
        wait();
    });
    // A client that asks for nothing, to see whether this system honours the request.
    const int plain = serverImpersonationLevel(name, [&](const std::function<void()>& wait) {
        HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        DWORD written = 0;
        WriteFile(client, &byte, 1, &written, nullptr);
        wait();
        CloseHandle(client);
    });
    if (ours == -1 || ours == plain)
        GTEST_SKIP() << "this system gives every pipe client the same impersonation level ("
                     << ours << "); the quality of service asked for cannot be seen here";
    EXPECT_EQ(SecurityIdentification, ours);
    EXPECT_EQ(SecurityImpersonation, plain);
}

} // namespace
