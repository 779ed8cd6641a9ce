#include "diag/Settings.h"

#include "diag/RegistryKey.h"

#include <cstdint>
#include <memory>

namespace diag {

const SettingName settingKeyPrefix = {"Software\\Tervalis\\", L"Software\\Tervalis\\"};
const SettingName settingLogLevel = {"LogLevel", L"LogLevel"};
const SettingName settingAddress = {"Address", L"Address"};
const SettingName settingPort = {"Port", L"Port"};
const SettingName settingMediumType = {"MediumType", L"MediumType"};

std::string settingsKeyPath(const std::string& logName)
{
    return std::string(settingKeyPrefix.narrow) + logName;
}

int readLogLevel(const std::string& logName)
{
    const std::string path = settingsKeyPath(logName);
    std::int32_t level = defaultLogLevel;

    auto userKey = std::make_unique<RegistryKey>(path, HiveCurrentUser, true);
    std::int32_t value = 0;
    if (userKey->readDword(settingLogLevel.narrow, &value))
        return value;

    auto machineKey = std::make_unique<RegistryKey>(path, HiveLocalMachine, true);
    if (machineKey->readDword(settingLogLevel.narrow, &value))
        level = value;
    return level;
}

} // namespace diag
