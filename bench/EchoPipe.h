// A bare message-mode pipe with a server thread that answers every 264-byte
// request at once: the baseline for what the platform service link costs.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace bench {

class EchoPipe {
public:
    // With serve false, only the client end: it connects to a server that is
    // already there (the platform-service simulator), to time the client alone.
    explicit EchoPipe(const std::wstring& name, bool serve = true);
    ~EchoPipe();
    EchoPipe(const EchoPipe&) = delete;
    EchoPipe& operator=(const EchoPipe&) = delete;

    // One request and its reply at their barest: a write, then an overlapped
    // read with a wait on an event made once.
    bool exchange();
    // The same with what the client's design adds to every request: the switch
    // to message read mode and a new event for the read.
    bool designedExchange();
    // Closes the client end and opens a new connection, as every query does.
    void reconnect();

private:
    void openClient();
    bool exchangeWith(HANDLE readDone);

    std::wstring name_;
    HANDLE server_ = INVALID_HANDLE_VALUE;
    HANDLE client_ = INVALID_HANDLE_VALUE;
    HANDLE readDone_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace bench
