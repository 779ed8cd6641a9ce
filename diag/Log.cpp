#include "diag/Log.h"

#include "diag/FileVersion.h"
#include "diag/ModulePaths.h"
#include "diag/Settings.h"

#include <windows.h>
#include <shlobj.h>
#include <share.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

namespace diag {

namespace {

std::unique_ptr<Logger> g_log;

int folderCsidl(LogFolder folder)
{
    switch (folder) {
    case LogFolderCommonAppData: return CSIDL_COMMON_APPDATA;
    case LogFolderDocuments: return CSIDL_PERSONAL;
    default: return CSIDL_LOCAL_APPDATA;
    }
}

const wchar_t* openMode(LogEncoding encoding, bool truncate)
{
    if (encoding == LogEncodingUtf16)
        return truncate ? L"wt, ccs=UNICODE" : L"at, ccs=UNICODE";
    return truncate ? L"wt" : L"at";
}

std::wstring widenAscii(const std::string& text)
{
    std::wstring wide;
    wide.reserve(text.size());
    for (unsigned char c : text)
        wide.push_back(static_cast<wchar_t>(c));
    return wide;
}

// Size of the file in bytes, or -1 when it does not exist.
long long fileSize(const std::wstring& path)
{
    struct _stat64 status;
    if (_wstat64(path.c_str(), &status) != 0)
        return -1;
    return status.st_size;
}

} // namespace

std::wstring logFolderPath(LogFolder folder)
{
    wchar_t base[MAX_PATH] = {};
    std::wstring path;
    if (SUCCEEDED(SHGetFolderPathW(nullptr, folderCsidl(folder), nullptr, SHGFP_TYPE_CURRENT, base)))
        path = base;
    path += L"\\Tervalis\\Logs";
    return path;
}

void rotateLogFiles(const std::wstring& path)
{
    DeleteFileW((path + L".ba5").c_str());
    MoveFileExW((path + L".ba4").c_str(), (path + L".ba5").c_str(), MOVEFILE_REPLACE_EXISTING);
    MoveFileExW((path + L".ba3").c_str(), (path + L".ba4").c_str(), MOVEFILE_REPLACE_EXISTING);
    MoveFileExW((path + L".ba2").c_str(), (path + L".ba3").c_str(), MOVEFILE_REPLACE_EXISTING);
    MoveFileExW((path + L".bak").c_str(), (path + L".ba2").c_str(), MOVEFILE_REPLACE_EXISTING);
    MoveFileExW(path.c_str(), (path + L".bak").c_str(), MOVEFILE_REPLACE_EXISTING);
}

Logger::Logger(const std::string& name, LogEncoding encoding, bool appendExeName, bool truncate,
               HeaderMode headerMode, LogFolder folder)
    : level_(readLogLevel(name)), truncate_(truncate), headerMode_(headerMode), encoding_(encoding)
{
    const std::wstring folderPath = logFolderPath(folder);
    // An existing folder is fine; a folder that cannot be made shows up as a failed open.
    SHCreateDirectory(nullptr, folderPath.c_str());

    path_ = folderPath + L"\\" + widenAscii(name);
    const wchar_t* exeName = ModulePaths::fileName();
    if (appendExeName && *exeName) {
        path_ += L"_";
        path_ += exeName;
    }
    path_ += L".log";

    if (level_ > 0) {
        if (!truncate_ && fileSize(path_) > logRotateSize)
            rotateLogFiles(path_);
        openFile();
    }

    if (headerMode_ == HeaderLifecycle || headerMode_ == HeaderLifecycleAndVersion) {
        if (!ensureOpen())
            return;
        writePrefix(L"A");
        writeWide(L"=============== LOG CREATED ===============\n");
        writePrefix(L"A");
        wchar_t pidLine[32];
        swprintf(pidLine, 32, L"PID: %lu\n", static_cast<unsigned long>(GetCurrentProcessId()));
        writeWide(pidLine);
        if (headerMode_ == HeaderLifecycleAndVersion) {
            const FileVersion v = readFileVersion(ModulePaths::fullPath());
            wchar_t versionLine[64];
            swprintf(versionLine, 64, L"EXE Version: %hu.%hu.%hu.%hu\n", v[0], v[1], v[2], v[3]);
            writePrefix(L"A");
            writeWide(versionLine);
        }
        std::fflush(file_.get());
    }
}

Logger::~Logger() = default;

void Logger::openFile()
{
    file_.reset(_wfsopen(path_.c_str(), openMode(encoding_, truncate_), _SH_DENYNO));
}

bool Logger::ensureOpen()
{
    if (!file_)
        openFile();
    return file_.valid();
}

void Logger::writeWide(const wchar_t* text)
{
    if (encoding_ == LogEncodingUtf16) {
        std::fputws(text, file_.get());
        return;
    }
    // The narrow file holds ASCII only; each wide unit is written as one byte.
    std::string narrow;
    for (const wchar_t* p = text; *p; ++p)
        narrow.push_back(*p < 0x80 ? static_cast<char>(*p) : '?');
    std::fputs(narrow.c_str(), file_.get());
}

void Logger::writeNarrow(const char* text)
{
    if (encoding_ == LogEncodingUtf16) {
        std::fputws(widenAscii(text).c_str(), file_.get());
        return;
    }
    std::fputs(text, file_.get());
}

std::wstring logLinePrefix(const SYSTEMTIME& time, const wchar_t* tag)
{
    wchar_t prefix[64];
    swprintf(prefix, 64, L"%04i:%02i:%02i_%02i:%02i:%02i:%03i %ls: ", time.wYear, time.wMonth,
             time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds, tag);
    return prefix;
}

void Logger::writePrefix(const wchar_t* tag)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    writeWide(logLinePrefix(now, tag).c_str());
}

void Logger::errorCode(int code, unsigned systemError)
{
    if (level_ < 1 || !ensureOpen())
        return;
    char body[64];
    if (systemError != 0)
        snprintf(body, sizeof body, "GEC:%d, X:%u\n", code, systemError);
    else
        snprintf(body, sizeof body, "GEC:%d\n", code);
    writePrefix(L"E");
    writeNarrow(body);
    std::fflush(file_.get());
}

void Logger::errorv(const char* format, va_list args)
{
    if (level_ < 1 || !ensureOpen())
        return;
    va_list copy;
    va_copy(copy, args);
    const int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> body(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length > 0)
        vsnprintf(body.data(), body.size(), format, args);
    writePrefix(L"E");
    writeNarrow(body.data());
    writeNarrow("\n");
    std::fflush(file_.get());
}

void Logger::close()
{
    if (!file_)
        return;
    if (headerMode_ == HeaderLifecycle || headerMode_ == HeaderLifecycleAndVersion) {
        writePrefix(L"A");
        writeWide(L"============== LOG DESTROYED ==============\n");
        std::fflush(file_.get());
    }
    std::fflush(file_.get());
    file_.reset();
}

void openLog(const std::string& name, bool appendExeName, LogFolder folder, HeaderMode headerMode)
{
    if (g_log)
        return;
    g_log = std::make_unique<Logger>(name, LogEncodingAnsi, appendExeName, false, headerMode, folder);
}

void closeLog() noexcept
{
    if (!g_log)
        return;
    g_log->close();
    g_log.reset();
}

Logger* currentLog()
{
    return g_log.get();
}

void logErrorCode(int code, unsigned systemError)
{
    if (g_log)
        g_log->errorCode(code, systemError);
}

void logErrorf(const char* format, ...)
{
    if (!g_log)
        return;
    va_list args;
    va_start(args, format);
    g_log->errorv(format, args);
    va_end(args);
}

} // namespace diag
