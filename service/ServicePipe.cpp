#include "service/ServicePipe.h"

#include "diag/Log.h"
#include "service/ServiceProtocol.h"

namespace service {

namespace {

constexpr DWORD busyWaitMs = 500;
constexpr DWORD replyWaitMs = 500;

std::wstring& pipeNameSetting()
{
    static std::wstring name = productPipeName;
    return name;
}

class EventHandle {
public:
    EventHandle() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~EventHandle() { reset(); }
    EventHandle(const EventHandle&) = delete;
    EventHandle& operator=(const EventHandle&) = delete;
    HANDLE get() const { return handle_; }
    void reset()
    {
        if (handle_)
            CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_;
};

} // namespace

const std::wstring& servicePipeName()
{
    return pipeNameSetting();
}

void setServicePipeName(const std::wstring& name)
{
    pipeNameSetting() = name;
}

ServicePipe::ServicePipe(std::wstring name) : name_(std::move(name)), nextSequence_(firstSequence)
{
}

ServicePipe::~ServicePipe()
{
    close();
}

bool ServicePipe::connect()
{
    while (handle_ == INVALID_HANDLE_VALUE) {
        // Identification-only: whoever serves the pipe cannot act as this user.
        HANDLE opened = CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT
                                        | SECURITY_IDENTIFICATION,
                                    nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            handle_ = opened;
            break;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_BUSY) {
            if (WaitNamedPipeW(name_.c_str(), busyWaitMs))
                continue;
            diag::logErrorCode(ErrorBusyWaitFailed, 0);
            break;
        }
        diag::logErrorCode(ErrorOpenFailed, error);
        break;
    }
    if (handle_ != INVALID_HANDLE_VALUE) {
        DWORD mode = PIPE_READMODE_MESSAGE;
        if (!SetNamedPipeHandleState(handle_, &mode, nullptr, nullptr)) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }
    return handle_ != INVALID_HANDLE_VALUE;
}

std::uint32_t ServicePipe::transact(const void* request, std::uint32_t requestSize, void* reply,
                                    std::uint32_t replySize)
{
    if (!request || requestSize == 0) {
        diag::logErrorCode(ErrorNoRequest, 0);
        return 0;
    }
    if (replySize != 0 && !reply) {
        diag::logErrorCode(ErrorNoReplyBuffer, 0);
        return 0;
    }
    if (!connect()) {
        diag::logErrorCode(ErrorNotConnected, 0);
        return 0;
    }

    DWORD written = 0;
    if (!WriteFile(handle_, request, requestSize, &written, nullptr) || written < requestSize) {
        diag::logErrorCode(ErrorWriteFailed, GetLastError());
        close();
        return 0;
    }
    if (!reply || replySize == 0)
        return 0;

    EventHandle event;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event.get();
    DWORD bytesRead = 0;
    DWORD error = 0;
    if (event.get() && ReadFile(handle_, reply, replySize, &bytesRead, &overlapped))
        return bytesRead;
    error = GetLastError();

    if (event.get() && error == ERROR_IO_PENDING) {
        if (WaitForSingleObject(event.get(), replyWaitMs) == WAIT_OBJECT_0) {
            // A message longer than the buffer completes with ERROR_MORE_DATA:
            // that is a failed read, not a full-length reply.
            DWORD transferred = 0;
            if (GetOverlappedResult(handle_, &overlapped, &transferred, FALSE))
                return transferred;
            error = GetLastError();
        } else {
            error = GetLastError();
            // The read still owns the reply buffer and the overlapped record:
            // cancel it and wait until it has finished with them.
            CancelIo(handle_);
            DWORD ignored = 0;
            GetOverlappedResult(handle_, &overlapped, &ignored, TRUE);
        }
    }
    event.reset();
    diag::logErrorCode(ErrorReadFailed, error);
    close();
    return 0;
}

void ServicePipe::close()
{
    if (handle_ == INVALID_HANDLE_VALUE)
        return;
    CancelIo(handle_);
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

} // namespace service
