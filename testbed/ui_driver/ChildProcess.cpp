#include "ChildProcess.h"

#include "UiDriver.h"

namespace uidriver {

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        end();
        process_ = std::move(other.process_);
        thread_ = std::move(other.thread_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

ChildProcess::~ChildProcess()
{
    end();
}

ChildProcess ChildProcess::start(const std::wstring& exe, const std::wstring& arguments,
                                 std::optional<WORD> showCommand)
{
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (showCommand) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = *showCommand;
    }
    PROCESS_INFORMATION information = {};
    ChildProcess child;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &information)) {
        child.process_.reset(information.hProcess);
        child.thread_.reset(information.hThread);
        child.id_ = information.dwProcessId;
    }
    return child;
}

std::wstring ChildProcess::productPath()
{
    return buildPath(L"\\app\\Tervalis_Quorvel.exe");
}

std::optional<DWORD> ChildProcess::waitForExit(DWORD ms) const
{
    DWORD code = STILL_ACTIVE;
    if (!process_ || WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0
        || !GetExitCodeProcess(process_.get(), &code))
        return std::nullopt;
    return code;
}

void ChildProcess::end(UINT exitCode)
{
    if (running()) {
        TerminateProcess(process_.get(), exitCode);
        WaitForSingleObject(process_.get(), 5000);
    }
    process_.reset();
    thread_.reset();
    id_ = 0;
}

} // namespace uidriver
