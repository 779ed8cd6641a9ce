#include "app/SingleInstance.h"

#include "app/MainWindow.h"

namespace app {

namespace {
// In the session's own namespace: another user's copy on the same PC is theirs.
constexpr const wchar_t* mutexName = L"Local\\Tervalis_Quorvel.SingleInstance";
}

SingleInstance::SingleInstance() : mutex(CreateMutexW(nullptr, FALSE, mutexName))
{
    // Right after the call, the last error says whether the mutex existed already.
    first_ = !(mutex && GetLastError() == ERROR_ALREADY_EXISTS);
}

void SingleInstance::activateRunningCopy(unsigned waitMs)
{
    const DWORD start = GetTickCount();
    do {
        if (HWND window = FindWindowW(mainWindowClassName, nullptr)) {
            if (IsIconic(window))
                ShowWindow(window, SW_RESTORE);
            SetForegroundWindow(window);
            return;
        }
        Sleep(50);
    } while (GetTickCount() - start < waitMs);
}

} // namespace app
