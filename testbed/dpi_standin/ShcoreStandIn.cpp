// A stand-in for Shcore.dll, for tests only: Wine 8's GetScaleFactorForMonitor
// answers 100 whatever the DPI, so this one answers the factor named by the
// environment variable QUORVEL_TEST_SCALE_FACTOR (100 when unset). A test
// selects it for one program through a per-program DLL override in the test
// prefix; it is never installed next to the product or shipped.
#include <windows.h>

#include <cwchar>

extern "C" __declspec(dllexport) HRESULT WINAPI SetProcessDpiAwareness(int)
{
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
