// The messages exchanged with the maker's platform service over its named pipe:
// 264-byte requests and replies, little-endian, one pipe message each.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace service {

// The pipe the service serves.
inline constexpr const wchar_t* productPipeName =
    L"\\\\.\\pipe\\tvls_AB379F4E-5855-4DC6-8185-3059DFF7295E";

constexpr std::uint32_t messageBytes = 264;
constexpr std::uint32_t firstSequence = 100;
// Reply strings start here and are cut by a NUL written at replyStringEnd.
constexpr std::size_t replyPayloadOffset = 8;
constexpr std::size_t replyStringEnd = 262;
constexpr std::size_t maxReplyStringUnits = (replyStringEnd - replyPayloadOffset) / 2;  // 127

enum ServiceCommand : std::uint32_t {
    QueryDeviceCount = 170,
    QueryDeviceIds = 171,
    QueryManufacturer = 172,
    QueryProduct = 173,
    QuerySerial = 174,
    QueryDevicePath = 175,
};

enum ServiceErrorCode : int {
    ErrorNoRequest = 2000,        // transact without a request
    ErrorNoReplyBuffer = 2001,    // a reply size but no reply buffer
    ErrorNotConnected = 2002,     // the pipe was closed and could not be opened
    ErrorOpenFailed = 2003,       // opening failed (with the Windows error)
    ErrorBusyWaitFailed = 2004,   // busy, and waiting 500 ms for it failed
    ErrorReadFailed = 2005,       // the reply failed or did not come within 500 ms
    ErrorWriteFailed = 2006,      // the request could not be written whole
};

// Fixed little-endian fields in a 264-byte message.
inline std::uint32_t readU32(const unsigned char* message, std::size_t offset)
{
    return std::uint32_t(message[offset]) | std::uint32_t(message[offset + 1]) << 8
           | std::uint32_t(message[offset + 2]) << 16 | std::uint32_t(message[offset + 3]) << 24;
}

inline void writeU32(unsigned char* message, std::size_t offset, std::uint32_t value)
{
    message[offset] = static_cast<unsigned char>(value);
    message[offset + 1] = static_cast<unsigned char>(value >> 8);
    message[offset + 2] = static_cast<unsigned char>(value >> 16);
    message[offset + 3] = static_cast<unsigned char>(value >> 24);
}

struct ServiceRequest {
    unsigned char bytes[messageBytes] = {};

    ServiceRequest() = default;
    ServiceRequest(std::uint32_t command, std::uint32_t sequence, std::uint32_t deviceIndex)
    {
        writeU32(bytes, 0, command);
        writeU32(bytes, 4, sequence);
        writeU32(bytes, 8, deviceIndex);
    }
    std::uint32_t command() const { return readU32(bytes, 0); }
    std::uint32_t sequence() const { return readU32(bytes, 4); }
    std::uint32_t deviceIndex() const { return readU32(bytes, 8); }
};

struct ServiceReply {
    unsigned char bytes[messageBytes] = {};

    std::uint32_t sequence() const { return readU32(bytes, 0); }
    std::uint32_t status() const { return readU32(bytes, 4); }
    std::uint32_t payloadU32(std::size_t offset) const { return readU32(bytes, offset); }

    // The UTF-16LE string at offset 8, at most 127 units: the NUL at offset 262
    // bounds a string that carries none of its own.
    std::wstring payloadString()
    {
        bytes[replyStringEnd] = 0;
        bytes[replyStringEnd + 1] = 0;
        std::wstring text;
        for (std::size_t offset = replyPayloadOffset; offset < replyStringEnd; offset += 2) {
            const wchar_t unit = static_cast<wchar_t>(bytes[offset] | bytes[offset + 1] << 8);
            if (unit == L'\0')
                break;
            text.push_back(unit);
        }
        return text;
    }
};

static_assert(replyStringEnd + 2 <= messageBytes, "the terminating NUL fits in a reply");
static_assert(sizeof(ServiceRequest) == messageBytes, "requests are 264 bytes");
static_assert(sizeof(ServiceReply) == messageBytes, "replies are 264 bytes");

// The transport a service record carries: the service's kind 1 is stored as 2.
inline std::uint32_t transportFromKind(std::uint8_t kind)
{
    return kind == 1 ? 2u : kind;
}

} // namespace service
