#include "PlatformServiceSimulator.h"

#include "service/ServiceProtocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <sstream>

namespace simulator {

using namespace service;

namespace {

constexpr DWORD pipeBufferBytes = 4096;
constexpr DWORD requestBufferBytes = 1024;

std::vector<std::wstring> split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    std::wstring part;
    std::wistringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

bool parseNumber(const std::wstring& text, int base, unsigned long long& value)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    value = std::wcstoull(text.c_str(), &end, base);
    return end && *end == L'\0';
}

// A manual-reset event, not signalled.
common::KernelHandle newEvent()
{
    return common::KernelHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

} // namespace

SimulatedUnit makeUnit(const std::wstring& serial, std::uint8_t kind, std::uint32_t productId,
                       const std::wstring& product, const std::wstring& manufacturer)
{
    return {0x0483, productId, kind, manufacturer, product, serial, L"sim:" + serial};
}

bool parseUnit(const std::wstring& text, SimulatedUnit& unit)
{
    const std::vector<std::wstring> fields = split(text, L',');
    if (fields.size() != 7)
        return false;
    unsigned long long vendor = 0, product = 0, kind = 0;
    if (!parseNumber(fields[0], 16, vendor) || !parseNumber(fields[1], 16, product)
        || !parseNumber(fields[2], 10, kind) || kind > 255)
        return false;
    unit.vendorId = static_cast<std::uint32_t>(vendor);
    unit.productId = static_cast<std::uint32_t>(product);
    unit.kind = static_cast<std::uint8_t>(kind);
    unit.manufacturer = fields[3];
    unit.product = fields[4];
    unit.serial = fields[5];
    unit.deviceString = fields[6];
    return true;
}

bool parseFault(const std::wstring& text, Fault& fault)
{
    const std::vector<std::wstring> fields = split(text, L':');
    if (fields.empty())
        return false;
    static const struct {
        const wchar_t* name;
        FaultKind kind;
    } kinds[] = {{L"sequence", FaultKind::WrongSequence}, {L"status", FaultKind::BadStatus},
                 {L"length", FaultKind::WrongLength},     {L"delay", FaultKind::Delay},
                 {L"close", FaultKind::CloseWithoutReply}, {L"longstring", FaultKind::LongString},
                 {L"count", FaultKind::DeviceCount}};
    bool known = false;
    for (const auto& k : kinds) {
        if (fields[0] == k.name) {
            fault.kind = k.kind;
            known = true;
        }
    }
    if (!known)
        return false;
    unsigned long long number = 0;
    if (fields.size() > 1 && !fields[1].empty()) {
        if (!parseNumber(fields[1], 10, number))
            return false;
        fault.command = static_cast<std::uint32_t>(number);
    }
    if (fields.size() > 2 && !fields[2].empty() && fields[2] != L"*") {
        if (!parseNumber(fields[2], 10, number))
            return false;
        fault.index = static_cast<std::int64_t>(number);
    }
    if (fields.size() > 3 && !fields[3].empty()) {
        if (!parseNumber(fields[3], 10, number))
            return false;
        fault.value = static_cast<std::uint32_t>(number);
    }
    if (fields.size() > 4 && !fields[4].empty()) {
        if (!parseNumber(fields[4], 10, number))
            return false;
        fault.count = static_cast<int>(number);
    }
    return fields.size() <= 5;
}

PlatformServiceSimulator::PlatformServiceSimulator(SimulatorConfig config)
    : config_(std::move(config)), stopEvent_(newEvent())
{
}

PlatformServiceSimulator::~PlatformServiceSimulator()
{
    stop();
}

HANDLE PlatformServiceSimulator::createInstance()
{
    return CreateNamedPipeW(config_.pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                            instanceCount(), pipeBufferBytes,
                            config_.holdReadsMs != 0 ? 0 : pipeBufferBytes, 0, nullptr);
}

DWORD PlatformServiceSimulator::instanceCount() const
{
    return config_.busyMs != 0 ? 1 : std::max<DWORD>(1, config_.instances);
}

bool PlatformServiceSimulator::start()
{
    if (started_)
        return true;
    ResetEvent(stopEvent_.get());
    std::vector<HANDLE> instances;
    for (DWORD i = 0; i < instanceCount(); ++i) {
        HANDLE instance = createInstance();
        if (instance == INVALID_HANDLE_VALUE)
            break;
        instances.push_back(instance);
    }
    if (instances.empty())
        return false;
    started_ = true;
    for (HANDLE instance : instances)
        workers_.emplace_back(&PlatformServiceSimulator::serveInstance, this, instance);
    if (config_.busyMs != 0)
        busyHolder_ = std::thread(&PlatformServiceSimulator::holdBusy, this);
    return true;
}

void PlatformServiceSimulator::stop()
{
    if (!started_)
        return;
    SetEvent(stopEvent_.get());
    if (busyHolder_.joinable())
        busyHolder_.join();
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
    started_ = false;
}

// Occupies the only pipe instance with a client of our own, so that real clients
// find the pipe busy until it lets go.
void PlatformServiceSimulator::holdBusy()
{
    HANDLE blocker = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 200 && blocker == INVALID_HANDLE_VALUE; ++attempt) {
        blocker = CreateFileW(config_.pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
        if (blocker == INVALID_HANDLE_VALUE
            && WaitForSingleObject(stopEvent_.get(), 5) == WAIT_OBJECT_0)
            return;
    }
    WaitForSingleObject(stopEvent_.get(), config_.busyMs);
    if (blocker != INVALID_HANDLE_VALUE)
        CloseHandle(blocker);
}

bool PlatformServiceSimulator::waitFor(HANDLE pipe, OVERLAPPED& overlapped, DWORD& transferred)
{
    const HANDLE events[2] = {overlapped.hEvent, stopEvent_.get()};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
        return false;
    }
    return GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) != FALSE;
}

// One worker per pipe instance: wait for a client, serve it, disconnect, and
// offer the same instance again (which is what wakes a client waiting for it).
void PlatformServiceSimulator::serveInstance(HANDLE pipe)
{
    const common::KernelHandle connected = newEvent();
    while (WaitForSingleObject(stopEvent_.get(), 0) != WAIT_OBJECT_0) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = connected.get();
        ResetEvent(connected.get());
        bool ready = ConnectNamedPipe(pipe, &overlapped) != FALSE;
        if (!ready) {
            const DWORD error = GetLastError();
            if (error == ERROR_PIPE_CONNECTED) {
                ready = true;
            } else if (error == ERROR_IO_PENDING) {
                DWORD ignored = 0;
                ready = waitFor(pipe, overlapped, ignored);
            } else if (error == ERROR_NO_DATA) {
                // The client came and went before we saw it.
                DisconnectNamedPipe(pipe);
                continue;
            }
        }
        if (!ready) {
            if (WaitForSingleObject(stopEvent_.get(), 5) == WAIT_OBJECT_0)
                break;
            DisconnectNamedPipe(pipe);
            continue;
        }
        serveConnection(pipe, ++connections_);
        DisconnectNamedPipe(pipe);
    }
    CloseHandle(pipe);
}

// Answers one client's requests until it goes, fails, or the server stops.
void PlatformServiceSimulator::serveConnection(HANDLE pipe, std::uint32_t connection)
{
    const common::KernelHandle ioDone = newEvent();
    for (;;) {
        if (config_.holdReadsMs && WaitForSingleObject(stopEvent_.get(), config_.holdReadsMs) == WAIT_OBJECT_0)
            break;
        unsigned char request[requestBufferBytes];
        OVERLAPPED overlapped = {};
        overlapped.hEvent = ioDone.get();
        ResetEvent(ioDone.get());
        DWORD received = 0;
        bool ok = ReadFile(pipe, request, sizeof request, &received, &overlapped) != FALSE;
        if (!ok && GetLastError() == ERROR_IO_PENDING)
            ok = waitFor(pipe, overlapped, received);
        if (!ok)
            break;

        DWORD delayMs = 0;
        bool closeWithoutReply = false;
        const std::vector<unsigned char> reply =
            replyTo(request, received, connection, delayMs, closeWithoutReply);
        if (closeWithoutReply)
            break;
        if (delayMs && WaitForSingleObject(stopEvent_.get(), delayMs) == WAIT_OBJECT_0)
            break;

        ResetEvent(ioDone.get());
        overlapped = {};
        overlapped.hEvent = ioDone.get();
        DWORD written = 0;
        ok = WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), &written,
                       &overlapped) != FALSE;
        if (!ok && GetLastError() == ERROR_IO_PENDING)
            ok = waitFor(pipe, overlapped, written);
        if (!ok)
            break;
    }
}

std::vector<unsigned char> PlatformServiceSimulator::replyTo(const unsigned char* request,
                                                             DWORD size, std::uint32_t connection,
                                                             DWORD& delayMs, bool& close)
{
    ServiceRequest parsed;
    std::memcpy(parsed.bytes, request, std::min<DWORD>(size, messageBytes));
    const std::uint32_t command = parsed.command();
    const std::uint32_t index = parsed.deviceIndex();
    record({command, parsed.sequence(), index, connection});

    std::lock_guard<std::mutex> guard(mutex_);
    ServiceReply reply;
    writeU32(reply.bytes, 0, parsed.sequence());
    std::uint32_t status = 0;
    const std::wstring* text = nullptr;
    const SimulatedUnit* unit = index < config_.units.size() ? &config_.units[index] : nullptr;
    switch (command) {
    case QueryDeviceCount:
        writeU32(reply.bytes, 8, static_cast<std::uint32_t>(config_.units.size()));
        break;
    case QueryDeviceIds:
        if (unit) {
            writeU32(reply.bytes, 8, unit->vendorId);
            writeU32(reply.bytes, 12, unit->productId);
            reply.bytes[16] = unit->kind;
        }
        break;
    case QueryManufacturer: text = unit ? &unit->manufacturer : nullptr; break;
    case QueryProduct: text = unit ? &unit->product : nullptr; break;
    case QuerySerial: text = unit ? &unit->serial : nullptr; break;
    case QueryDevicePath: text = unit ? &unit->deviceString : nullptr; break;
    default: status = 1; break;
    }
    if (command != QueryDeviceCount && command >= QueryDeviceIds && command <= QueryDevicePath
        && !unit)
        status = 2;
    if (text) {
        // Strings are NUL-terminated when they fit; longer ones fill the payload.
        for (std::size_t i = 0; i < text->size() && 8 + 2 * i + 1 < messageBytes; ++i) {
            reply.bytes[8 + 2 * i] = static_cast<unsigned char>((*text)[i] & 0xFF);
            reply.bytes[8 + 2 * i + 1] = static_cast<unsigned char>((*text)[i] >> 8);
        }
    }

    std::size_t length = messageBytes;
    for (Fault& fault : config_.faults) {
        if (fault.count == 0 || (fault.command != 0 && fault.command != command)
            || (fault.index >= 0 && static_cast<std::uint32_t>(fault.index) != index))
            continue;
        if (fault.count > 0)
            --fault.count;
        switch (fault.kind) {
        case FaultKind::WrongSequence: writeU32(reply.bytes, 0, parsed.sequence() + 1); break;
        case FaultKind::BadStatus: status = fault.value ? fault.value : 1; break;
        case FaultKind::WrongLength: length = fault.value; break;
        case FaultKind::Delay: delayMs = fault.value; break;
        case FaultKind::CloseWithoutReply: close = true; break;
        case FaultKind::DeviceCount: writeU32(reply.bytes, 8, fault.value); break;
        case FaultKind::LongString:
            for (std::size_t offset = 8; offset + 1 < messageBytes; offset += 2) {
                reply.bytes[offset] = 'L';
                reply.bytes[offset + 1] = 0;
            }
            break;
        }
    }
    writeU32(reply.bytes, 4, status);
    std::vector<unsigned char> bytes(reply.bytes, reply.bytes + std::min<std::size_t>(length, messageBytes));
    bytes.resize(length, 0);
    return bytes;
}

void PlatformServiceSimulator::record(const RecordedRequest& request)
{
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.push_back(request);
    if (config_.recordFile.empty())
        return;
    if (FILE* file = _wfopen(config_.recordFile.c_str(), L"a")) {
        std::fprintf(file, "connection %u command %u sequence %u index %u\n", request.connection,
                     request.command, request.sequence, request.deviceIndex);
        std::fclose(file);
    }
}

void PlatformServiceSimulator::setUnits(std::vector<SimulatedUnit> units)
{
    std::lock_guard<std::mutex> guard(mutex_);
    config_.units = std::move(units);
}

void PlatformServiceSimulator::setFaults(std::vector<Fault> faults)
{
    std::lock_guard<std::mutex> guard(mutex_);
    config_.faults = std::move(faults);
}

std::vector<RecordedRequest> PlatformServiceSimulator::requests()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

void PlatformServiceSimulator::clearRequests()
{
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.clear();
}

} // namespace simulator
