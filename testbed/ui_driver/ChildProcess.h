// A program that a test, a benchmark or the soak monitor starts and owns: its
// process and thread handles close with the owner, and a program still running
// then is ended, so no test leaves a copy of the tool behind.
#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>

#include <optional>
#include <string>

namespace uidriver {

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    // Starts exe with the arguments; with a show command, the program is given it
    // (STARTF_USESHOWWINDOW). Empty when the start failed.
    static ChildProcess start(const std::wstring& exe, const std::wstring& arguments = {},
                              std::optional<WORD> showCommand = std::nullopt);
    // The product executable of this build.
    static std::wstring productPath();

    explicit operator bool() const { return process_.valid(); }
    HANDLE handle() const { return process_.get(); }
    DWORD id() const { return id_; }
    bool running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // The exit code once the program has ended within ms; nothing while it runs.
    std::optional<DWORD> waitForExit(DWORD ms) const;
    // Ends the program if it still runs, waits for it and lets the handles go.
    void end(UINT exitCode = 99);

private:
    common::KernelHandle process_;
    common::KernelHandle thread_;
    DWORD id_ = 0;
};

} // namespace uidriver
