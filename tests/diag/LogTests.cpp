#include "diag/Log.h"
#include "support/Files.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <regex>

using namespace testing_support;

namespace {

const char* const testLogName = "QuorvelTest_Log";
const char* const lifecycleCreated = "=============== LOG CREATED ===============";
const char* const lifecycleDestroyed = "============== LOG DESTROYED ==============";

std::wstring testLogPath(diag::LogFolder folder = diag::LogFolderLocalAppData)
{
    return diag::logFolderPath(folder) + L"\\QuorvelTest_Log.log";
}

const wchar_t* const backupSuffixes[] = {L".bak", L".ba2", L".ba3", L".ba4", L".ba5"};

// Each test starts with no log file, no backups and a chosen LogLevel.
class LogFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        removeAll();
        // Tests that lay out files before the first open need the folder; in a new
        // prefix nothing has made it yet.
        SHCreateDirectoryExW(nullptr, diag::logFolderPath(diag::LogFolderLocalAppData).c_str(), nullptr);
    }
    void TearDown() override
    {
        diag::closeLog();
        removeAll();
    }
    void removeAll()
    {
        for (diag::LogFolder folder : {diag::LogFolderLocalAppData, diag::LogFolderCommonAppData, diag::LogFolderDocuments}) {
            const std::wstring path = testLogPath(folder);
            DeleteFileW(path.c_str());
            RemoveDirectoryW(path.c_str());
            for (const wchar_t* suffix : backupSuffixes)
                DeleteFileW((path + suffix).c_str());
        }
    }
    void setLevel(DWORD level) { settings.setDword("LogLevel", level); }

    TestSettingsKey settings{HKEY_CURRENT_USER, testLogName};
};

TEST_F(LogFile, FirstOpenCreatesFolderChainAndWritesLifecycleLines)
{
    // The common application-data folder has no Tervalis folder until a log makes one.
    const std::wstring logs = diag::logFolderPath(diag::LogFolderCommonAppData);
    const std::wstring maker = logs.substr(0, logs.rfind(L'\\'));
    RemoveDirectoryW(logs.c_str());
    RemoveDirectoryW(maker.c_str());
    ASSERT_FALSE(fileExists(maker));

    diag::openLog(testLogName, false, diag::LogFolderCommonAppData, diag::HeaderLifecycle);
    ASSERT_NE(nullptr, diag::currentLog());
    EXPECT_EQ(testLogPath(diag::LogFolderCommonAppData), diag::currentLog()->path());
    diag::closeLog();

    const std::string text = readFileBytes(testLogPath(diag::LogFolderCommonAppData));
    const std::regex expected(
        "\\d{4}:\\d{2}:\\d{2}_\\d{2}:\\d{2}:\\d{2}:\\d{3} A: " + std::string(lifecycleCreated)
        + "\r\n\\d{4}:\\d{2}:\\d{2}_\\d{2}:\\d{2}:\\d{2}:\\d{3} A: PID: "
        + std::to_string(GetCurrentProcessId())
        + "\r\n\\d{4}:\\d{2}:\\d{2}_\\d{2}:\\d{2}:\\d{2}:\\d{3} A: " + lifecycleDestroyed + "\r\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
    EXPECT_FALSE(fileExists(testLogPath(diag::LogFolderCommonAppData) + L".bak"));
}

TEST_F(LogFile, ErrorEntriesCarryCodeAndSystemError)
{
    setLevel(1);
    diag::openLog(testLogName, false, diag::LogFolderLocalAppData, diag::HeaderNone);
    diag::logErrorCode(2004, 0);
    diag::logErrorCode(2003, 2);
    diag::logErrorf("Build failed %d", 1407);
    // Other programs may read the log, and write to it, while it is open.
    const common::FileHandle other(CreateFileW(testLogPath().c_str(), GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(other.valid()) << GetLastError();
    // Every entry is flushed before the call returns.
    const std::string text = readFileBytes(testLogPath());
    const std::string stamp = "\\d{4}:\\d{2}:\\d{2}_\\d{2}:\\d{2}:\\d{2}:\\d{3} E: ";
    EXPECT_TRUE(std::regex_match(text, std::regex(stamp + "GEC:2004\r\n" + stamp
                                                   + "GEC:2003, X:2\r\n" + stamp
                                                   + "Build failed 1407\r\n")))
        << text;
    // Every field keeps its width, whatever the time.
    const SYSTEMTIME early = {2026, 1, 4, 8, 5, 4, 3, 7};
    EXPECT_EQ(L"2026:01:08_05:04:03:007 E: ", diag::logLinePrefix(early, L"E"));
}

// Level 0 and a negative level (all bits set) both turn error entries and rotation off.
TEST_F(LogFile, LevelZeroWritesLifecycleButNoErrorsAndNeverRotates)
{
    const std::string big(diag::logRotateSize + 100, 'x');
    ASSERT_TRUE(writeFileBytes(testLogPath(), big));
    for (DWORD level : {0xFFFFFFFFu, 0u}) {
        setLevel(level);
        diag::openLog(testLogName, false, diag::LogFolderLocalAppData, diag::HeaderLifecycle);
        diag::logErrorCode(2005, 109);
        diag::closeLog();
    }

    EXPECT_FALSE(fileExists(testLogPath() + L".bak"));
    const std::string text = readFileBytes(testLogPath());
    EXPECT_EQ(0, text.compare(0, big.size(), big));
    const std::string tail = text.substr(big.size());
    EXPECT_EQ(2, countOf(tail, lifecycleCreated));
    EXPECT_EQ(2, countOf(tail, "A: PID: "));
    EXPECT_EQ(2, countOf(tail, lifecycleDestroyed));
    EXPECT_EQ(0, countOf(tail, "GEC:"));
}

TEST_F(LogFile, ExactlyTenMebibytesIsAppendedTo)
{
    ASSERT_TRUE(writeFileBytes(testLogPath(), std::string(diag::logRotateSize, 'x')));
    diag::openLog(testLogName, false, diag::LogFolderLocalAppData, diag::HeaderLifecycle);
    diag::closeLog();
    EXPECT_FALSE(fileExists(testLogPath() + L".bak"));
    EXPECT_GT(fileSizeOf(testLogPath()), diag::logRotateSize);
}

TEST_F(LogFile, OneByteMoreRotatesAndShiftsBackups)
{
    const std::wstring path = testLogPath();
    ASSERT_TRUE(writeFileBytes(path, std::string(diag::logRotateSize + 1, 'x')));
    const char* const generations[] = {"bak", "ba2", "ba3", "ba4", "ba5"};
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(writeFileBytes(path + backupSuffixes[i], generations[i]));

    diag::openLog(testLogName, false, diag::LogFolderLocalAppData, diag::HeaderLifecycle);
    diag::closeLog();

    EXPECT_EQ(diag::logRotateSize + 1, fileSizeOf(path + L".bak"));
    EXPECT_EQ("bak", readFileBytes(path + L".ba2"));
    EXPECT_EQ("ba2", readFileBytes(path + L".ba3"));
    EXPECT_EQ("ba3", readFileBytes(path + L".ba4"));
    EXPECT_EQ("ba4", readFileBytes(path + L".ba5"));  // the old .ba5 is gone
    const std::string fresh = readFileBytes(path);
    EXPECT_EQ(0u, fresh.find_first_of("0123456789"));
    EXPECT_EQ(1, countOf(fresh, lifecycleCreated));
    EXPECT_LT(fresh.size(), 400u);
}

TEST_F(LogFile, RotationWithOnlyBakPresent)
{
    const std::wstring path = testLogPath();
    ASSERT_TRUE(writeFileBytes(path, std::string(diag::logRotateSize + 1, 'y')));
    ASSERT_TRUE(writeFileBytes(path + L".bak", "older"));
    diag::openLog(testLogName, false, diag::LogFolderLocalAppData, diag::HeaderNone);
    diag::closeLog();
    EXPECT_EQ("older", readFileBytes(path + L".ba2"));
    EXPECT_EQ(diag::logRotateSize + 1, fileSizeOf(path + L".bak"));
    EXPECT_FALSE(fileExists(path + L".ba3"));
    EXPECT_TRUE(fileExists(path));
}

TEST_F(LogFile, UnopenableLogDropsEntriesAndRetriesEachTime)
{
    setLevel(2);
    const std::wstring path = testLogPath();
    // A folder in the file's place makes every open fail.
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    diag::openLog(testLogName, false, diag::LogFolderLocalAppData, diag::HeaderLifecycle);
    ASSERT_NE(nullptr, diag::currentLog());
    EXPECT_FALSE(diag::currentLog()->isOpen());
    diag::logErrorCode(2002, 0);

    ASSERT_TRUE(RemoveDirectoryW(path.c_str()));
    diag::logErrorCode(2006, 232);
    diag::closeLog();

    const std::string text = readFileBytes(path);
    EXPECT_EQ(0, countOf(text, "GEC:2002"));
    EXPECT_EQ(1, countOf(text, "E: GEC:2006, X:232\r\n"));
    EXPECT_EQ(0, countOf(text, lifecycleCreated));
    EXPECT_EQ(1, countOf(text, lifecycleDestroyed));
}

TEST_F(LogFile, SecondOpenChangesNothingAndCloseWithoutLogDoesNothing)
{
    diag::closeLog();
    EXPECT_EQ(nullptr, diag::currentLog());
    diag::closeLog();

    diag::openLog(testLogName, false, diag::LogFolderLocalAppData, diag::HeaderLifecycle);
    diag::Logger* first = diag::currentLog();
    diag::openLog("QuorvelTest_Other", true, diag::LogFolderDocuments, diag::HeaderLifecycle);
    EXPECT_EQ(first, diag::currentLog());
    EXPECT_EQ(testLogPath(), diag::currentLog()->path());
    diag::closeLog();
    EXPECT_EQ(1, countOf(readFileBytes(testLogPath()), lifecycleCreated));
    EXPECT_FALSE(fileExists(diag::logFolderPath(diag::LogFolderDocuments)
                            + L"\\QuorvelTest_Other_diag_tests.exe.log"));
}

TEST_F(LogFile, AppendedExeNameAndVersionLine)
{
    diag::Logger logger(testLogName, diag::LogEncodingAnsi, true, true, diag::HeaderLifecycleAndVersion,
                        diag::LogFolderLocalAppData);
    const std::wstring expected = diag::logFolderPath(diag::LogFolderLocalAppData) + L"\\QuorvelTest_Log_diag_tests.exe.log";
    EXPECT_EQ(expected, logger.path());
    logger.close();
    const std::string text = readFileBytes(expected);
    DeleteFileW(expected.c_str());
    // This program's version resource says 1.2.3.4.
    EXPECT_EQ(1, countOf(text, "A: EXE Version: 1.2.3.4\r\n"));
}

// Every header mode, appending or truncating, over an existing file below and
// above the rotation size: the lines written at open and at close, what is left
// of the old file, and the backups.
TEST_F(LogFile, EveryHeaderModeTruncateAndSize)
{
    const std::wstring path = testLogPath();
    const std::string created = std::string("A: ") + lifecycleCreated + "\r\n";
    const std::string pid = "A: PID: " + std::to_string(GetCurrentProcessId()) + "\r\n";
    const std::string version = "A: EXE Version: 1.2.3.4\r\n";
    const std::string destroyed = std::string("A: ") + lifecycleDestroyed + "\r\n";
    const std::string small = "old\r\n";
    const std::string large(diag::logRotateSize + 1, 'x');
    struct Row {
        diag::HeaderMode mode;
        bool truncate;
        bool above;
        std::vector<std::string> atOpen;  // the new lines, without their time stamps
        bool keepsOld;                    // the old content still heads the file
        bool rotated;                     // the old file became .bak
    };
    const std::vector<std::string> none, lifecycle = {created, pid}, withVersion = {created, pid, version};
    const Row rows[] = {
        {diag::HeaderNone, false, false, none, true, false},
        {diag::HeaderNone, false, true, none, false, true},
        {diag::HeaderNone, true, false, none, false, false},
        {diag::HeaderNone, true, true, none, false, false},
        {diag::HeaderLifecycle, false, false, lifecycle, true, false},
        {diag::HeaderLifecycle, false, true, lifecycle, false, true},
        {diag::HeaderLifecycle, true, false, lifecycle, false, false},
        {diag::HeaderLifecycle, true, true, lifecycle, false, false},
        {diag::HeaderLifecycleAndVersion, false, false, withVersion, true, false},
        {diag::HeaderLifecycleAndVersion, false, true, withVersion, false, true},
        {diag::HeaderLifecycleAndVersion, true, false, withVersion, false, false},
        {diag::HeaderLifecycleAndVersion, true, true, withVersion, false, false},
    };
    // The lines after the old content, each without its 24-character time stamp.
    const auto newLines = [&](const std::string& text, bool keepsOld) {
        std::vector<std::string> lines;
        std::size_t at = keepsOld ? small.size() : 0;
        while (at < text.size()) {
            const std::size_t end = text.find('\n', at);
            lines.push_back(text.substr(at + 24, end - at - 23));
            at = end + 1;
        }
        return lines;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.mode << ", truncate " << row.truncate << ", above "
                                        << row.above);
        removeAll();
        const std::string& old = row.above ? large : small;
        ASSERT_TRUE(writeFileBytes(path, old));
        {
            diag::Logger logger(testLogName, diag::LogEncodingAnsi, false, row.truncate, row.mode,
                                diag::LogFolderLocalAppData);
            const std::string opened = readFileBytes(path);
            EXPECT_EQ(row.keepsOld, opened.compare(0, old.size(), old) == 0);
            EXPECT_EQ(row.atOpen, newLines(opened, row.keepsOld));
            logger.errorCode(2003, 2);
            logger.close();
        }
        std::vector<std::string> expected = row.atOpen;
        expected.push_back("E: GEC:2003, X:2\r\n");
        if (row.mode != diag::HeaderNone)
            expected.push_back(destroyed);
        EXPECT_EQ(expected, newLines(readFileBytes(path), row.keepsOld));
        EXPECT_EQ(row.rotated, fileExists(path + L".bak"));
        if (row.rotated) {
            EXPECT_EQ(diag::logRotateSize + 1, fileSizeOf(path + L".bak"));
        }
    }
}

} // namespace
