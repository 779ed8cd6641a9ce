// Random and mutated service replies through the service query: no crash, no
// read outside a reply, and every record listed is one the replies stand for.
#include "Random.h"
#include "app/Catalogue.h"
#include "service/QueryService.h"
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

using namespace testing_support;
using namespace service;

namespace {

struct Exchange {
    std::uint32_t command;
    std::uint32_t index;
    std::uint32_t sequence;
    std::vector<unsigned char> reply;  // the 264-byte buffer as the client got it
    std::uint32_t returned;
};

// Answers every request with a generated reply: mostly well formed, often wrong
// in one of the ways a broken or hostile server can be wrong.
class FuzzChannel final : public ServiceChannel {
public:
    explicit FuzzChannel(Random& random) : random_(random) {}

    bool connect() override { return !random_.chance(2); }
    void close() override {}
    std::uint32_t takeSequence() override { return sequence_++; }

    std::uint32_t transact(const void* request, std::uint32_t requestSize, void* reply,
                           std::uint32_t replySize) override
    {
        EXPECT_EQ(messageBytes, requestSize);
        EXPECT_EQ(messageBytes, replySize);
        ServiceRequest parsed;
        std::memcpy(parsed.bytes, request, messageBytes);
        for (std::size_t i = 12; i < messageBytes; ++i)
            EXPECT_EQ(0, parsed.bytes[i]) << "request padding must be zero";

        ServiceReply generated;
        fill(parsed, generated);
        std::uint32_t returned = messageBytes;
        const std::uint32_t fault = random_.below(100);
        if (fault < 6)
            writeU32(generated.bytes, 0, parsed.sequence() + 1 + random_.below(3));
        else if (fault < 12)
            writeU32(generated.bytes, 4, 1 + random_.below(0xFFFF));
        else if (fault < 17)
            returned = random_.below(messageBytes);  // short reply
        else if (fault < 20)
            returned = 0;  // failed exchange (a longer reply fails the same way)
        else if (fault < 30)
            for (int flips = 1 + random_.below(8); flips > 0; --flips)
                generated.bytes[8 + random_.below(messageBytes - 8)] = random_.byte();

        // The client's buffer holds what was received and stale bytes beyond it.
        std::memcpy(reply, generated.bytes, returned);
        exchanges.push_back({parsed.command(), parsed.deviceIndex(), parsed.sequence(),
                             std::vector<unsigned char>(static_cast<unsigned char*>(reply),
                                                        static_cast<unsigned char*>(reply) + messageBytes),
                             returned});
        ++replies;
        return returned;
    }

    std::vector<Exchange> exchanges;
    std::uint64_t replies = 0;

private:
    void fill(const ServiceRequest& request, ServiceReply& reply)
    {
        writeU32(reply.bytes, 0, request.sequence());
        for (std::size_t i = 8; i < messageBytes; ++i)
            reply.bytes[i] = random_.chance(50) ? 0 : random_.byte();
        switch (request.command()) {
        case QueryDeviceCount:
            writeU32(reply.bytes, 8, random_.chance(5) ? static_cast<std::uint32_t>(random_.next())
                                                       : random_.below(40));
            break;
        case QueryDeviceIds:
            writeU32(reply.bytes, 8, random_.chance(60) ? 0x0483 : static_cast<std::uint32_t>(random_.next()));
            writeU32(reply.bytes, 12, random_.chance(60) ? 0xA110 : static_cast<std::uint32_t>(random_.next()));
            reply.bytes[16] = random_.chance(50) ? random_.below(3) : random_.byte();
            break;
        default: {
            // A string: sometimes the maker's, often random, sometimes without a NUL.
            const std::uint32_t units = random_.chance(20) ? 200 : random_.below(140);
            const bool maker = request.command() == QueryManufacturer && random_.chance(50);
            const std::wstring text = maker ? app::makerManufacturer : L"";
            for (std::uint32_t i = 0; 8 + 2 * i + 1 < messageBytes; ++i) {
                wchar_t unit = 0;
                if (maker)
                    unit = i < text.size() ? text[i] : 0;
                else if (i < units)
                    unit = static_cast<wchar_t>(1 + random_.below(0xFFFE));
                reply.bytes[8 + 2 * i] = static_cast<unsigned char>(unit);
                reply.bytes[9 + 2 * i] = static_cast<unsigned char>(unit >> 8);
            }
        }
        }
    }

    Random& random_;
    std::uint32_t sequence_ = firstSequence;
};

bool counts(const Exchange& e)
{
    return e.returned == messageBytes && readU32(e.reply.data(), 0) == e.sequence
           && readU32(e.reply.data(), 4) == 0;
}

std::wstring stringIn(const Exchange& e)
{
    std::wstring text;
    for (std::size_t offset = 8; offset < 262; offset += 2) {
        const wchar_t unit = static_cast<wchar_t>(e.reply[offset] | e.reply[offset + 1] << 8);
        if (!unit)
            break;
        text.push_back(unit);
    }
    return text;
}

TEST(ServiceReplyFuzz, EveryListedRecordIsBackedByItsReplies)
{
    const std::uint32_t wanted = fuzzIterations(100000);
    Random random(20261208);
    std::uint64_t replies = 0;
    std::uint64_t queries = 0;
    std::uint64_t listed = 0;
    while (replies < wanted) {
        FuzzChannel channel(random);
        std::vector<devices::DeviceInfo> found;
        const bool filtered = random.chance(30);
        const bool answered = channel.connect()
                              && askDevices(channel,
                                            filtered ? app::platformIdFilter : nullptr,
                                            filtered ? app::platformStringFilter : nullptr, found);
        replies += channel.replies;
        ++queries;
        listed += found.size();
        if (channel.exchanges.empty())
            continue;

        const Exchange& countExchange = channel.exchanges.front();
        ASSERT_EQ(QueryDeviceCount, countExchange.command);
        ASSERT_EQ(counts(countExchange), answered);
        if (!answered) {
            ASSERT_TRUE(found.empty());
            continue;
        }
        const std::uint32_t count = std::min<std::uint32_t>(readU32(countExchange.reply.data(), 8), 32);

        // Sequence numbers run from 100 without a gap; indices never pass the count.
        std::map<std::uint32_t, std::map<std::uint32_t, const Exchange*>> byIndex;
        for (std::size_t i = 0; i < channel.exchanges.size(); ++i) {
            const Exchange& e = channel.exchanges[i];
            ASSERT_EQ(firstSequence + i, e.sequence);
            if (i > 0) {
                ASSERT_LT(e.index, count);
                ASSERT_EQ(0u, byIndex[e.index].count(e.command)) << "asked twice";
                byIndex[e.index][e.command] = &e;
            }
        }

        // A record exists exactly for the devices whose five replies all counted
        // (the serial and path are asked only once the filters accepted), and
        // its fields are what those replies carried.
        std::size_t next = 0;
        for (auto& [index, replies] : byIndex) {
            const bool complete = replies.size() == 5
                                  && std::all_of(replies.begin(), replies.end(),
                                                 [](const auto& r) { return counts(*r.second); });
            if (!complete)
                continue;
            {
                ASSERT_LT(next, found.size()) << "a complete device is missing";
                const devices::DeviceInfo& record = found[next++];
                const Exchange& ids = *replies[QueryDeviceIds];
                EXPECT_EQ(readU32(ids.reply.data(), 8), record.vendorId);
                EXPECT_EQ(readU32(ids.reply.data(), 12), record.productId);
                EXPECT_EQ(ids.reply[16] == 1 ? 2u : ids.reply[16], record.transport);
                EXPECT_EQ(stringIn(*replies[QueryManufacturer]), record.manufacturer);
                EXPECT_EQ(stringIn(*replies[QueryProduct]), record.product);
                EXPECT_EQ(stringIn(*replies[QuerySerial]), record.serialNumber);
                EXPECT_EQ(stringIn(*replies[QueryDevicePath]), record.devicePath);
                for (const std::wstring* field : {&record.manufacturer, &record.product,
                                                  &record.serialNumber, &record.devicePath})
                    EXPECT_LE(field->size(), 127u);
                if (filtered) {
                    EXPECT_TRUE(app::platformIdFilter(record.vendorId, record.productId));
                    EXPECT_TRUE(app::platformStringFilter(record.vendorId, record.productId,
                                                          record.manufacturer, record.product));
                }
            }
        }
        ASSERT_EQ(next, found.size()) << "a record without complete replies";
        if (HasFatalFailure())
            return;
    }
    std::printf("service replies fed: %llu in %llu queries, %llu records listed\n",
                static_cast<unsigned long long>(replies), static_cast<unsigned long long>(queries),
                static_cast<unsigned long long>(listed));
}

} // namespace
