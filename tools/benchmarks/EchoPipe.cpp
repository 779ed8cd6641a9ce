#include "EchoPipe.h"

namespace bench {

namespace {
constexpr DWORD messageBytes = 264;
}

EchoPipe::EchoPipe(const std::wstring& name)
    : name_(name),
      server_(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                               PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096,
                               0, nullptr)),
      readDone_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    thread_ = std::thread([this] {
        if (!ConnectNamedPipe(server_, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
            return;
        unsigned char message[messageBytes];
        DWORD n = 0;
        while (ReadFile(server_, message, messageBytes, &n, nullptr) && n > 0) {
            if (!WriteFile(server_, message, n, &n, nullptr))
                break;
        }
    });
    client_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(client_, &mode, nullptr, nullptr);
}

EchoPipe::~EchoPipe()
{
    CloseHandle(client_);
    thread_.join();
    CloseHandle(server_);
    CloseHandle(readDone_);
}

bool EchoPipe::exchange()
{
    unsigned char request[messageBytes] = {170};
    unsigned char reply[messageBytes];
    DWORD written = 0;
    if (!WriteFile(client_, request, messageBytes, &written, nullptr))
        return false;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = readDone_;
    ResetEvent(readDone_);
    DWORD read = 0;
    if (ReadFile(client_, reply, messageBytes, &read, &overlapped))
        return read == messageBytes;
    if (GetLastError() != ERROR_IO_PENDING || WaitForSingleObject(readDone_, 500) != WAIT_OBJECT_0)
        return false;
    return GetOverlappedResult(client_, &overlapped, &read, FALSE) && read == messageBytes;
}

} // namespace bench
