// Where a test helper was called from. Default arguments are filled in at the
// call site, so a helper declared with
//     void serve(..., CallSite site = {})
// and opening with
//     const ::testing::ScopedTrace caller = site.trace();
// names the test's own line beside its failures, as Wine's ok_(__FILE__, line) does.
#pragma once

#include <gtest/gtest.h>

namespace testing_support {

struct CallSite {
    const char* file;
    int line;
    CallSite(const char* callerFile = __builtin_FILE(), int callerLine = __builtin_LINE())
        : file(callerFile), line(callerLine)
    {
    }
};

} // namespace testing_support

// A trace for the caller's line, for as long as the helper runs.
#define TRACE_CALLER(site) const ::testing::ScopedTrace caller_trace_((site).file, (site).line, "called from here")
