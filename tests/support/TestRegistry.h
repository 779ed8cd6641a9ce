// Creates and removes a test-only settings key in the 32-bit registry view.
#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>

#include <string>

namespace testing_support {

inline constexpr REGSAM registryViews[2] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

// Wine, unlike Windows, maps a 32-bit-view read of HKCU\Software to
// HKCU\Software\Wow6432Node; writing both views makes the value visible either way.
class TestSettingsKey {
public:
    TestSettingsKey(HKEY hive, const std::string& logName)
        : hive_(hive), path_("Software\\Tervalis\\" + logName)
    {
        remove();
    }
    ~TestSettingsKey() { remove(); }
    TestSettingsKey(const TestSettingsKey&) = delete;
    TestSettingsKey& operator=(const TestSettingsKey&) = delete;

    // Writes the value in both views, or only in onlyView when it is given.
    void setValue(const char* name, DWORD type, const void* data, DWORD size,
                  REGSAM onlyView = 0) const
    {
        for (REGSAM view : registryViews) {
            if (onlyView && view != onlyView)
                continue;
            common::RegistryKeyHandle key;
            if (RegCreateKeyExA(hive_, path_.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr,
                                key.put(), nullptr) == ERROR_SUCCESS)
                RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size);
        }
    }

    void setDword(const char* name, DWORD value, REGSAM onlyView = 0) const
    {
        setValue(name, REG_DWORD, &value, sizeof value, onlyView);
    }

    void remove() const
    {
        for (REGSAM view : registryViews)
            RegDeleteKeyExA(hive_, path_.c_str(), view, 0);
    }

private:
    HKEY hive_;
    std::string path_;
};

} // namespace testing_support
