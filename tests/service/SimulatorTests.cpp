// The simulator is what every end-to-end test stands on: its parsing and its
// serving of several clients at once are checked here.
#include "PlatformServiceSimulator.h"
#include "devices/DeviceList.h"
#include "service/ServiceTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace testing_support;

namespace {

TEST(SimulatorParsing, UnitLine)
{
    simulator::SimulatedUnit unit;
    ASSERT_TRUE(simulator::parseUnit(L"0483,A110,1,Tervalis,Quorvel Motion,ABC,dev-1", unit));
    EXPECT_EQ(0x0483u, unit.vendorId);
    EXPECT_EQ(0xA110u, unit.productId);
    EXPECT_EQ(1, unit.kind);
    EXPECT_EQ(L"Quorvel Motion", unit.product);
    EXPECT_EQ(L"ABC", unit.serial);
    EXPECT_EQ(L"dev-1", unit.deviceString);
    ASSERT_TRUE(simulator::parseUnit(L"0x483,0xa110,7,,,,", unit));
    EXPECT_EQ(7, unit.kind);
    EXPECT_EQ(L"", unit.deviceString);
    EXPECT_FALSE(simulator::parseUnit(L"0483,A110,1,Tervalis,P,S", unit));
    EXPECT_FALSE(simulator::parseUnit(L"0483,A110,256,M,P,S,D", unit));
    EXPECT_FALSE(simulator::parseUnit(L"zz,A110,1,M,P,S,D", unit));
}

TEST(SimulatorParsing, FaultSpec)
{
    simulator::Fault fault;
    ASSERT_TRUE(simulator::parseFault(L"delay:174:0:700:1", fault));
    EXPECT_EQ(simulator::FaultKind::Delay, fault.kind);
    EXPECT_EQ(174u, fault.command);
    EXPECT_EQ(0, fault.index);
    EXPECT_EQ(700u, fault.value);
    EXPECT_EQ(1, fault.count);
    simulator::Fault any;
    ASSERT_TRUE(simulator::parseFault(L"sequence", any));
    EXPECT_EQ(0u, any.command);
    EXPECT_EQ(-1, any.index);
    EXPECT_EQ(-1, any.count);
    ASSERT_TRUE(simulator::parseFault(L"length:170:*:300", any));
    EXPECT_EQ(300u, any.value);
    EXPECT_FALSE(simulator::parseFault(L"explode", any));
    EXPECT_FALSE(simulator::parseFault(L"delay:x", any));
}

class Simulator : public ServiceFixture {};

TEST_F(Simulator, ServesSeveralClientsAtOnce)
{
    serve({makeUnit(L"A"), makeUnit(L"B")});
    std::vector<std::thread> clients;
    std::atomic<int> complete{0};
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                devices::DeviceList list;
                if (list.queryService(nullptr, nullptr) && list.devices().size() == 2)
                    ++complete;
            }
        });
    }
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(20, complete.load());
    EXPECT_EQ(20u * 11u, server->requests().size());
}

TEST_F(Simulator, StopsWithAClientStillConnected)
{
    serve({makeUnit(L"A")});
    service::ServicePipe idle(pipeName);
    ASSERT_TRUE(idle.connect());
    const DWORD start = GetTickCount();
    server->stop();
    EXPECT_LT(GetTickCount() - start, 1000u);
}

} // namespace
