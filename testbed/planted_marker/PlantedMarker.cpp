// Tests only: a DLL that stands for one planted beside the product in a
// Downloads folder. Copied there under the name of a DLL the product uses, it
// leaves NAME.dll.ran beside itself and ends the process the moment it is
// loaded, so a test sees both that it ran and that the tool did not.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        const std::wstring marker = std::wstring(path, length) + L".ran";
        HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    TerminateProcess(GetCurrentProcess(), 86);
    return FALSE;
}
