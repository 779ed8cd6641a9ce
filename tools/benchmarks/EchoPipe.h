// A bare message-mode pipe with a server thread that answers every 264-byte
// request at once: the baseline for what the platform service link costs.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

namespace bench {

class EchoPipe {
public:
    explicit EchoPipe(const std::wstring& name);
    ~EchoPipe();
    EchoPipe(const EchoPipe&) = delete;
    EchoPipe& operator=(const EchoPipe&) = delete;

    // One request and its reply, the way the client makes them (write, then an
    // overlapped read with a wait).
    bool exchange();

private:
    std::wstring name_;
    HANDLE server_;
    HANDLE client_ = INVALID_HANDLE_VALUE;
    HANDLE readDone_;
    std::thread thread_;
};

} // namespace bench
