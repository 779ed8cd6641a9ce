// The running executable's full path and file name, computed once per process.
#pragma once

namespace diag {

class ModulePaths {
public:
    static const wchar_t* fullPath();  // empty when it cannot be found
    static const wchar_t* fileName();  // what follows the last backslash

private:
    static void compute();
};

} // namespace diag
