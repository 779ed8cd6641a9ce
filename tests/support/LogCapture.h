// Opens the process-wide log under a test-only name and returns what each test adds.
// Each test program writes a log of its own, "QuorvelTest_" and its name: programs
// that run side by side in one prefix never read each other's entries.
#pragma once

#include "diag/Log.h"
#include "support/Files.h"

#include <string>

namespace testing_support {

class LogCapture {
public:
    explicit LogCapture(const std::string& testLogName = "QuorvelTest_" + programName())
    {
        diag::openLog(testLogName.c_str(), false, diag::LogFolderLocalAppData, diag::HeaderNone);
        path_ = diag::currentLog()->path();
        start_ = readFileBytes(path_).size();
    }
    // What was written since this capture began.
    std::string text() const { return readFileBytes(path_).substr(start_); }
    // The same lines without their time stamps ("E: GEC:2005, X:997\r\n" and so on),
    // so a test can compare whole entries.
    std::string entries() const
    {
        const std::string all = text();
        std::string result;
        for (std::size_t begin = 0; begin < all.size();) {
            std::size_t end = all.find('\n', begin);
            end = end == std::string::npos ? all.size() : end + 1;
            const std::string line = all.substr(begin, end - begin);
            const std::size_t stamp = line.find(' ');
            result += stamp == std::string::npos ? line : line.substr(stamp + 1);
            begin = end;
        }
        return result;
    }

    static std::string programName()
    {
        char path[MAX_PATH] = {};
        const std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
        const std::size_t slash = self.find_last_of("\\/");
        const std::string name = self.substr(slash == std::string::npos ? 0 : slash + 1);
        return name.substr(0, name.rfind('.'));
    }

private:
    std::wstring path_;
    std::size_t start_;
};

} // namespace testing_support
