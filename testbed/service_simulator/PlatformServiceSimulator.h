// A stand-in for the maker's platform service: serves the named pipe for a list of
// units, any number of connections at once, and injects faults on request.
#pragma once

#include "app/Catalogue.h"
#include "common/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace simulator {

struct SimulatedUnit {
    std::uint32_t vendorId = 0x0483;
    std::uint32_t productId = 0xA110;
    std::uint8_t kind = 1;
    std::wstring manufacturer;
    std::wstring product;
    std::wstring serial;
    std::wstring deviceString;
};

enum class FaultKind {
    WrongSequence,      // the reply answers another sequence number
    BadStatus,          // the reply reports failure (value, or 1)
    WrongLength,        // the reply is value bytes long instead of 264
    Delay,              // the reply comes value ms late
    CloseWithoutReply,  // the connection is closed instead of answered
    LongString,         // the string fills the whole payload without a NUL
    DeviceCount,        // the device count reads value, whatever the units are
};

// One injected fault. Build it by name, then say where and how often it hits:
// delayReply(700).on(service::QuerySerial, 0).times(1).
struct Fault {
    FaultKind kind = FaultKind::BadStatus;
    std::uint32_t command = 0;  // 0: every command
    std::int64_t index = -1;    // -1: every device index
    std::uint32_t value = 0;
    int count = -1;             // how many requests it hits; -1: all

    // On one command, and on one device index or (-1) all of them.
    Fault on(std::uint32_t onCommand, std::int64_t onIndex = -1) const
    {
        Fault f = *this;
        f.command = onCommand;
        f.index = onIndex;
        return f;
    }
    Fault times(int hits) const
    {
        Fault f = *this;
        f.count = hits;
        return f;
    }
};

inline Fault faultOf(FaultKind kind, std::uint32_t value = 0)
{
    Fault f;
    f.kind = kind;
    f.value = value;
    return f;
}
inline Fault wrongSequence() { return faultOf(FaultKind::WrongSequence); }
inline Fault badStatus(std::uint32_t status = 1) { return faultOf(FaultKind::BadStatus, status); }
inline Fault wrongLength(std::uint32_t bytes) { return faultOf(FaultKind::WrongLength, bytes); }
inline Fault delayReply(std::uint32_t ms) { return faultOf(FaultKind::Delay, ms); }
inline Fault closeWithoutReply() { return faultOf(FaultKind::CloseWithoutReply); }
inline Fault longString() { return faultOf(FaultKind::LongString); }
inline Fault reportDeviceCount(std::uint32_t count) { return faultOf(FaultKind::DeviceCount, count); }

struct RecordedRequest {
    std::uint32_t command;
    std::uint32_t sequence;
    std::uint32_t deviceIndex;
    std::uint32_t connection;  // which client connection sent it, counting from 1
};

struct SimulatorConfig {
    std::wstring pipeName;
    std::vector<SimulatedUnit> units;
    std::vector<Fault> faults;
    // Keeps the pipe busy for this long after start (0: never; INFINITE: always).
    DWORD busyMs = 0;
    std::wstring recordFile;  // a line per request when set
    // How many clients are served at once; more wait, as for a real service.
    DWORD instances = 4;
    // Waits this long before reading each request, with no inbound pipe buffer,
    // so that a client's write stays pending meanwhile (0: reads at once).
    DWORD holdReadsMs = 0;
};

// A unit with the given serial, "sim:" and the serial as its device string, and
// otherwise the maker's platform unless said otherwise.
SimulatedUnit makeUnit(const std::wstring& serial, std::uint8_t kind = 1,
                       std::uint32_t productId = 0xA110,
                       const std::wstring& product = L"Quorvel Motion",
                       const std::wstring& manufacturer = app::makerManufacturer);

// Parses "vendor,product,kind,manufacturer,product,serial,device" (ids in hex).
bool parseUnit(const std::wstring& text, SimulatedUnit& unit);
// Parses "kind[:command[:index[:value[:times]]]]", e.g. "delay:174:0:700:1".
bool parseFault(const std::wstring& text, Fault& fault);

class PlatformServiceSimulator {
public:
    explicit PlatformServiceSimulator(SimulatorConfig config);
    ~PlatformServiceSimulator();
    PlatformServiceSimulator(const PlatformServiceSimulator&) = delete;
    PlatformServiceSimulator& operator=(const PlatformServiceSimulator&) = delete;

    // Returns once the first pipe instance exists; false when it cannot be made.
    bool start();
    // Ends every connection and joins every thread.
    void stop();

    void setUnits(std::vector<SimulatedUnit> units);
    void setFaults(std::vector<Fault> faults);
    std::vector<RecordedRequest> requests();
    void clearRequests();

private:
    HANDLE createInstance();
    DWORD instanceCount() const;
    void serveInstance(HANDLE pipe);
    void serveConnection(HANDLE pipe, std::uint32_t connection);
    void holdBusy();
    bool waitFor(HANDLE pipe, OVERLAPPED& overlapped, DWORD& transferred);
    std::vector<unsigned char> replyTo(const unsigned char* request, DWORD size,
                                       std::uint32_t connection, DWORD& delayMs, bool& close);
    void record(const RecordedRequest& request);

    SimulatorConfig config_;
    std::mutex mutex_;  // guards units, faults and requests
    std::vector<RecordedRequest> requests_;
    common::KernelHandle stopEvent_;
    std::vector<std::thread> workers_;
    std::thread busyHolder_;
    std::atomic<std::uint32_t> connections_{0};
    bool started_ = false;
};

} // namespace simulator
