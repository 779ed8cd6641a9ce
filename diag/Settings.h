// The program's registry settings: the names it knows and the one it reads, LogLevel.
#pragma once

#include <string>

namespace diag {

struct SettingName {
    const char* narrow;
    const wchar_t* wide;
};

// Names in the program's settings table. Only the key prefix and LogLevel are read.
extern const SettingName settingKeyPrefix;  // "Software\Tervalis\"
extern const SettingName settingLogLevel;   // "LogLevel"
extern const SettingName settingAddress;
extern const SettingName settingPort;
extern const SettingName settingMediumType;

constexpr int defaultLogLevel = 2;

// The registry key of a log's settings: the key prefix followed by the log name.
std::string settingsKeyPath(const std::string& logName);

// LogLevel from the current user, else the local machine (both in the 32-bit
// view), else 2. Never fails.
int readLogLevel(const std::string& logName);

} // namespace diag
