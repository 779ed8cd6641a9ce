// The process-wide diagnostic log: a text file in a per-user folder, rotated by
// size when it is opened, with time-stamped lifecycle lines and error entries.
#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace diag {

// Base folder of the log.
enum LogFolder : int {
    LogFolderLocalAppData = 0,  // also any unknown value
    LogFolderCommonAppData = 1,
    LogFolderDocuments = 2,
};

// The file's character encoding: ANSI text, or UTF-16 ("ccs=UNICODE").
enum LogEncoding : int {
    LogEncodingAnsi = 0,
    LogEncodingUtf16 = 1,
};

enum HeaderMode : int {
    HeaderNone = 0,
    HeaderLifecycle = 1,            // created and process-id lines, destroyed line at close
    HeaderLifecycleAndVersion = 2,  // as above plus the executable's version
};

// A log larger than this is rotated when it is opened; one of exactly this size is not.
constexpr long long logRotateSize = 10485760;  // 10 MiB

class Logger {
public:
    Logger(const std::string& name, LogEncoding encoding, bool appendExeName, bool truncate,
           HeaderMode headerMode, LogFolder folder);
    ~Logger();

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void errorCode(int code, unsigned systemError);
    void errorv(const char* format, va_list args);
    // Writes the destroyed line (when lifecycle lines are on) and closes the file.
    void close();

    const std::wstring& path() const { return path_; }
    int level() const { return level_; }
    bool isOpen() const { return file_.valid(); }

private:
    bool ensureOpen();
    void openFile();
    void writePrefix(const wchar_t* tag);
    void writeNarrow(const char* text);
    void writeWide(const wchar_t* text);

    common::CFile file_;
    int level_;
    bool truncate_;
    HeaderMode headerMode_;
    LogEncoding encoding_;
    std::wstring path_;
};

// The folder that holds the log files: <base>\Tervalis\Logs.
std::wstring logFolderPath(LogFolder folder);

// The start of every log line: the local time stamp and the tag,
// "2026:12:08_05:04:03:007 E: ".
std::wstring logLinePrefix(const SYSTEMTIME& time, const wchar_t* tag);

// Shifts the backups of path: .ba5 deleted, .ba4 -> .ba5 ... .bak -> .ba2, path -> .bak.
void rotateLogFiles(const std::wstring& path);

// Creates the process-wide log if none exists; does nothing otherwise.
void openLog(const std::string& name, bool appendExeName, LogFolder folder, HeaderMode headerMode);
// Writes the closing line and destroys the log; does nothing without a log.
void closeLog() noexcept;
// The process-wide log, or null. Callers test it before writing entries.
Logger* currentLog();

// One error entry "GEC:<code>" or "GEC:<code>, X:<systemError>", when LogLevel > 0.
void logErrorCode(int code, unsigned systemError);
// One error entry in the caller's printf format, when LogLevel > 0.
void logErrorf(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

} // namespace diag
