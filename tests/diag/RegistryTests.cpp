#include "diag/RegistryKey.h"
#include "diag/Settings.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

using testing_support::TestSettingsKey;

namespace {

const char* const testLogName = "QuorvelTest_Registry";

class LogLevelSetting : public ::testing::Test {
protected:
    TestSettingsKey user{HKEY_CURRENT_USER, testLogName};
    TestSettingsKey machine{HKEY_LOCAL_MACHINE, testLogName};
};

TEST_F(LogLevelSetting, NoKeyInEitherHiveGivesTwo)
{
    EXPECT_EQ(2, diag::readLogLevel(testLogName));
}

TEST_F(LogLevelSetting, CurrentUserBeatsMachine)
{
    user.setDword("LogLevel", 0);
    machine.setDword("LogLevel", 5);
    EXPECT_EQ(0, diag::readLogLevel(testLogName));
}

TEST_F(LogLevelSetting, MachineValueUsedWhenUserKeyHasNoValue)
{
    user.setDword("Other", 7);  // the user's key exists, without the value
    // HKLM's two views differ, under Wine as on Windows: only the 32-bit one counts.
    machine.setDword("LogLevel", 3, KEY_WOW64_32KEY);
    machine.setDword("LogLevel", 5, KEY_WOW64_64KEY);
    EXPECT_EQ(3, diag::readLogLevel(testLogName));
}

// Only a DWORD-sized value counts: a QWORD is skipped, shorter data is
// zero-extended, and all bits set read as -1.
TEST_F(LogLevelSetting, ValueShapes)
{
    const std::uint64_t wide = 9;
    user.setValue("LogLevel", REG_QWORD, &wide, sizeof wide);
    machine.setDword("LogLevel", 4);
    EXPECT_EQ(4, diag::readLogLevel(testLogName));
    machine.setValue("LogLevel", REG_QWORD, &wide, sizeof wide);
    EXPECT_EQ(2, diag::readLogLevel(testLogName));
    // The longer value touches neither the 4-byte destination nor what lies after it.
    const std::array<std::int32_t, 2> untouched = {0x5eed, 0x5eed};
    std::array<std::int32_t, 2> destination = untouched;
    EXPECT_FALSE(diag::RegistryKey(diag::settingsKeyPath(testLogName), diag::HiveLocalMachine, true)
                     .readDword("LogLevel", destination.data()));
    EXPECT_EQ(untouched, destination);

    const unsigned char oneByte = 1;
    user.setValue("LogLevel", REG_BINARY, &oneByte, 1);
    EXPECT_EQ(1, diag::readLogLevel(testLogName));
    user.setDword("LogLevel", 0xFFFFFFFF);
    EXPECT_EQ(-1, diag::readLogLevel(testLogName));
}

TEST(RegistryKey, MissingKeyHasNullHandleAndReadsNothing)
{
    diag::RegistryKey key("Software\\Tervalis\\QuorvelTest_NoSuchKey", diag::HiveCurrentUser, true);
    EXPECT_EQ(nullptr, key.handle());
    std::int32_t value = 0x5eed;
    EXPECT_FALSE(key.readDword("LogLevel", &value));
    EXPECT_EQ(0x5eed, value);
}

TEST(RegistryKey, HiveSelectors)
{
    EXPECT_EQ(HKEY_LOCAL_MACHINE, diag::hiveRoot(0));
    EXPECT_EQ(HKEY_CURRENT_USER, diag::hiveRoot(1));
    EXPECT_EQ(HKEY_CLASSES_ROOT, diag::hiveRoot(2));
    EXPECT_EQ(HKEY_USERS, diag::hiveRoot(3));
    EXPECT_EQ(HKEY_CURRENT_USER, diag::hiveRoot(42));
}

} // namespace
