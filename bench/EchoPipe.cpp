#include "EchoPipe.h"

namespace bench {

namespace {
constexpr DWORD messageBytes = 264;
}

EchoPipe::EchoPipe(const std::wstring& name, bool serve)
    : name_(name), readDone_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (!serve) {
        openClient();
        return;
    }
    server_ = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                               PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096,
                               0, nullptr);
    // Serves one client at a time, and the next one after it goes.
    thread_ = std::thread([this] {
        while (!stopping_) {
            if (!ConnectNamedPipe(server_, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
                break;
            unsigned char message[messageBytes];
            DWORD n = 0;
            while (ReadFile(server_, message, messageBytes, &n, nullptr) && n > 0) {
                if (!WriteFile(server_, message, n, &n, nullptr))
                    break;
            }
            DisconnectNamedPipe(server_);
        }
    });
    openClient();
}

EchoPipe::~EchoPipe()
{
    stopping_ = true;
    CloseHandle(client_);
    CloseHandle(readDone_);
    if (!thread_.joinable())
        return;
    // Wakes a server waiting for the next client.
    HANDLE last = CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (last != INVALID_HANDLE_VALUE)
        CloseHandle(last);
    thread_.join();
    CloseHandle(server_);
}

void EchoPipe::openClient()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        client_ = CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (client_ != INVALID_HANDLE_VALUE)
            break;
        WaitNamedPipeW(name_.c_str(), 50);
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(client_, &mode, nullptr, nullptr);
}

void EchoPipe::reconnect()
{
    CloseHandle(client_);
    openClient();
}

bool EchoPipe::exchange()
{
    return exchangeWith(readDone_);
}

bool EchoPipe::designedExchange()
{
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(client_, &mode, nullptr, nullptr);
    HANDLE readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const bool ok = exchangeWith(readDone);
    CloseHandle(readDone);
    return ok;
}

bool EchoPipe::exchangeWith(HANDLE readDone)
{
    unsigned char request[messageBytes] = {170};
    unsigned char reply[messageBytes];
    DWORD written = 0;
    if (!WriteFile(client_, request, messageBytes, &written, nullptr))
        return false;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = readDone;
    ResetEvent(readDone);
    DWORD read = 0;
    if (ReadFile(client_, reply, messageBytes, &read, &overlapped))
        return read == messageBytes;
    if (GetLastError() != ERROR_IO_PENDING || WaitForSingleObject(readDone, 500) != WAIT_OBJECT_0)
        return false;
    return GetOverlappedResult(client_, &overlapped, &read, FALSE) && read == messageBytes;
}

} // namespace bench
