// Per-program DLL load orders in a Wine test prefix
// (HKCU\Software\Wine\AppDefaults\<exe name>\DllOverrides), keyed by the
// executable's file name and removed again with this object.
#pragma once

#include <windows.h>

#include <string>

namespace uidriver {

class DllOverrides {
public:
    explicit DllOverrides(const std::wstring& exeName)
        : key_(L"Software\\Wine\\AppDefaults\\" + exeName)
    {
    }
    ~DllOverrides() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    DllOverrides(const DllOverrides&) = delete;
    DllOverrides& operator=(const DllOverrides&) = delete;

    // "native", "native,builtin", "" (every load fails) and so on.
    bool set(const wchar_t* dll, const std::wstring& order) const
    {
        return RegSetKeyValueW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), dll, REG_SZ,
                               order.c_str(), static_cast<DWORD>((order.size() + 1) * sizeof(wchar_t)))
            == ERROR_SUCCESS;
    }
    // Wine takes a native copy first, as Windows does for a DLL that is not a KnownDLL.
    bool preferNative(const wchar_t* dll) const { return set(dll, L"native,builtin"); }
    bool disable(const wchar_t* dll) const { return set(dll, L""); }

private:
    std::wstring key_;
};

} // namespace uidriver
