#include "service/ServicePipe.h"

#include "diag/Log.h"
#include "service/ServiceProtocol.h"

namespace service {

namespace {

constexpr DWORD busyWaitMs = 500;
constexpr DWORD replyWaitMs = 500;
constexpr DWORD writeWaitMs = replyWaitMs;

std::wstring& pipeNameSetting()
{
    static std::wstring name = productPipeName;
    return name;
}

// Finishes one overlapped ReadFile or WriteFile on the pipe. started is what the
// call returned. True, with the bytes moved, when the operation completed within
// waitMs; otherwise false, with error holding what to log: the call's own error,
// or, when the wait ran out, the ERROR_IO_PENDING (997) that the call left. That
// is deliberate: WaitForSingleObject sets no error on a time-out, and 997 says
// the operation was still pending. An operation that ran out of time is
// cancelled and waited for, because until it has finished it may still use the
// caller's buffer and the overlapped record.
bool finishOverlapped(HANDLE pipe, BOOL started, OVERLAPPED& overlapped, DWORD waitMs,
                      DWORD& transferred, DWORD& error)
{
    if (!started) {
        error = GetLastError();
        if (error != ERROR_IO_PENDING)
            return false;
        const DWORD waited = WaitForSingleObject(overlapped.hEvent, waitMs);
        if (waited != WAIT_OBJECT_0) {
            if (waited == WAIT_FAILED)
                error = GetLastError();
            CancelIo(pipe);
            DWORD ignored = 0;
            GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
            return false;
        }
    }
    // A message longer than the buffer completes with ERROR_MORE_DATA: that is a
    // failed read, not a full-length reply.
    if (!GetOverlappedResult(pipe, &overlapped, &transferred, FALSE)) {
        error = GetLastError();
        return false;
    }
    return true;
}

// One overlapped operation with an event of its own. Fails with the event's
// creation error when no event can be made.
template <typename Start>
bool overlappedIo(HANDLE pipe, DWORD waitMs, DWORD& transferred, DWORD& error, Start start)
{
    transferred = 0;
    common::KernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) {
        error = GetLastError();
        return false;
    }
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event.get();
    return finishOverlapped(pipe, start(overlapped), overlapped, waitMs, transferred, error);
}

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
    while (!handle_) {
        // Identification-only: whoever serves the pipe cannot act as this user.
        HANDLE opened = CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT
                                        | SECURITY_IDENTIFICATION,
                                    nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            handle_.reset(opened);
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
    if (handle_) {
        DWORD mode = PIPE_READMODE_MESSAGE;
        if (!SetNamedPipeHandleState(handle_.get(), &mode, nullptr, nullptr))
            handle_.reset();
    }
    return handle_.valid();
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

    // The pipe is opened for overlapped I/O, so the write needs an overlapped
    // record too: a service that is slow to read makes it pend, and the request
    // buffer must outlive it.
    DWORD written = 0;
    DWORD error = 0;
    if (!overlappedIo(handle_.get(), writeWaitMs, written, error, [&](OVERLAPPED& overlapped) {
            return WriteFile(handle_.get(), request, requestSize, nullptr, &overlapped);
        })) {
        diag::logErrorCode(ErrorWriteFailed, error);
        close();
        return 0;
    }
    if (written < requestSize) {
        // A short write is no Windows error: there is no error value to give.
        diag::logErrorCode(ErrorWriteFailed, 0);
        close();
        return 0;
    }
    if (!reply || replySize == 0)
        return 0;

    DWORD bytesRead = 0;
    if (overlappedIo(handle_.get(), replyWaitMs, bytesRead, error, [&](OVERLAPPED& overlapped) {
            return ReadFile(handle_.get(), reply, replySize, nullptr, &overlapped);
        }))
        return bytesRead;
    diag::logErrorCode(ErrorReadFailed, error);
    close();
    return 0;
}

void ServicePipe::close()
{
    if (!handle_)
        return;
    CancelIo(handle_.get());
    handle_.reset();
}

} // namespace service
