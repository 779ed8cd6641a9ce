// Opens the process-wide log under a test-only name and returns what each test adds.
#pragma once

#include "diag/Log.h"
#include "support/Files.h"

#include <string>

namespace testing_support {

class LogCapture {
public:
    explicit LogCapture(const char* testLogName = "QuorvelTest_Capture")
    {
        diag::openLog(testLogName, false, diag::LogFolderLocalAppData, diag::HeaderNone);
        path_ = diag::currentLog()->path();
        start_ = readFileBytes(path_).size();
    }
    // What was written since this capture began.
    std::string text() const { return readFileBytes(path_).substr(start_); }

private:
    std::wstring path_;
    std::size_t start_;
};

} // namespace testing_support
