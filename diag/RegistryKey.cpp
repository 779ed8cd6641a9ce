#include "diag/RegistryKey.h"

#include <cstring>

namespace diag {

HKEY hiveRoot(int hive)
{
    switch (hive) {
    case HiveLocalMachine: return HKEY_LOCAL_MACHINE;
    case HiveClassesRoot: return HKEY_CLASSES_ROOT;
    case HiveUsers: return HKEY_USERS;
    default: return HKEY_CURRENT_USER;
    }
}

RegistryKey::RegistryKey(const std::string& subKey, int hive, bool view32)
    : hive_(hive), view32_(view32)
{
    const REGSAM access = KEY_READ | (view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    if (RegOpenKeyExA(hiveRoot(hive), subKey.c_str(), 0, access, handle_.put()) != ERROR_SUCCESS)
        handle_.release();  // the call leaves nothing owned there
}

bool RegistryKey::readDword(const char* valueName, void* destination) const
{
    if (!handle_)
        return false;
    // Read into a zeroed local so that data shorter than 4 bytes never leaves
    // stale bytes in the caller's value.
    unsigned char data[4] = {};
    DWORD type = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(handle_.get(), valueName, nullptr, &type, data, &size) != ERROR_SUCCESS)
        return false;
    std::memcpy(destination, data, sizeof data);
    return true;
}

} // namespace diag
