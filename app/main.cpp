// Program entry: restricts DLL loading to system32, lets one copy run, opens the log, makes the process DPI-aware, starts the toolkit,
// shows the main window and runs the message loop until the window is gone.
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "common/SystemLibrary.h"
#include "devices/ServiceLink.h"
#include "diag/Log.h"
#include "service/PipeServiceLink.h"
#include "toolkit/Application.h"
#include "toolkit/ComponentScale.h"

#include <windows.h>

#include <memory>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before anything can load a DLL: system32 only, never the folder the tool was run from.
    common::restrictDllSearchToSystem32();
    // A second start shows the running copy and ends, before it touches the log.
    const app::SingleInstance instanceGuard;
    if (!instanceGuard.first()) {
        app::SingleInstance::activateRunningCopy();
        return 0;
    }
    diag::openLog("Tervalis_Quorvel", false, diag::LogFolderLocalAppData, diag::HeaderLifecycle);
    QEL::enableDpiAwareness();
    // Each scan asks the platform service over its pipe first.
    const devices::ScopedServiceLink serviceLink(service::pipeServiceLink());
    {
        QEL::Application application(instance, 1);
        auto mainWindow = std::make_unique<app::MainWindow>();
        // Whatever show command the process was given, the window comes up normal.
        // (The system may apply the launcher's show command to the first call.)
        HWND window = mainWindow->hwnd();
        ShowWindow(window, SW_SHOWNORMAL);
        if (window && (IsIconic(window) || IsZoomed(window) || !IsWindowVisible(window)))
            ShowWindow(window, SW_SHOWNORMAL);
        // Without a window nothing would ever post the quit message.
        if (window)
            application.run(mainWindow->accelerators());
        mainWindow.reset();
    }
    diag::closeLog();
    return 0;
}
