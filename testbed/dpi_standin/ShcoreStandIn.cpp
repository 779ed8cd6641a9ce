// A stand-in for Shcore.dll, for tests only: Wine 8's GetScaleFactorForMonitor
// answers 100 whatever the DPI, so this one answers the factor named by the
// environment variable QUORVEL_TEST_SCALE_FACTOR (100 when unset), and it
// writes the awareness it is asked for, in decimal, to the file named by
// QUORVEL_TEST_DPI_AWARENESS_FILE (when set). A test selects it for one program through a per-program DLL override in the test
// prefix; it is never installed next to the product or shipped.
#include <windows.h>

#include <cwchar>

extern "C" __declspec(dllexport) HRESULT WINAPI SetProcessDpiAwareness(int awareness)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUORVEL_TEST_DPI_AWARENESS_FILE", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char text[16];
            const int size = wsprintfA(text, "%d", awareness);
            DWORD written = 0;
            WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr);
            CloseHandle(file);
        }
    }
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI GetScaleFactorForMonitor(HMONITOR, int* factor)
{
    if (!factor)
        return E_INVALIDARG;
    wchar_t text[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUORVEL_TEST_SCALE_FACTOR", text, 16);
    *factor = length > 0 && length < 16 ? static_cast<int>(std::wcstol(text, nullptr, 10)) : 100;
    return S_OK;
}
