// Owner of one opened registry key, read-only, in a chosen hive and registry view.
#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>

#include <string>

namespace diag {

// Hive selectors: 0 local machine, 2 classes root, 3 users, anything else current user.
enum RegistryHive : int {
    HiveLocalMachine = 0,
    HiveCurrentUser = 1,
    HiveClassesRoot = 2,
    HiveUsers = 3,
};

class RegistryKey {
public:
    // Opens subKey for reading; with view32 set, in the 32-bit registry view.
    // A key that cannot be opened leaves handle() null; nothing is thrown.
    RegistryKey(const std::string& subKey, int hive, bool view32);

    // Reads a value of at most 4 bytes into *destination (any registry type).
    // Shorter data is zero-extended. Returns false when the key is not open or
    // the value is missing, unreadable or larger than 4 bytes.
    bool readDword(const char* valueName, void* destination) const;

    HKEY handle() const { return handle_.get(); }
    int hive() const { return hive_; }
    bool view32() const { return view32_; }

private:
    common::RegistryKeyHandle handle_;
    int hive_;
    bool view32_;
};

HKEY hiveRoot(int hive);

} // namespace diag
