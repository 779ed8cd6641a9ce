// One running copy per session: a second start brings the first one's window to
// the front and ends, so two copies never compete for a WinUSB unit or the log.
#pragma once

#include "common/UniqueHandle.h"

namespace app {

class SingleInstance {
public:
    // Claims the session's named mutex.
    SingleInstance();
    // False when another copy already runs in this session.
    bool first() const { return first_; }
    // Shows the running copy's window (restored when minimised) in front of the
    // others; it may still be starting, so it is looked for up to waitMs.
    static void activateRunningCopy(unsigned waitMs = 3000);

private:
    common::KernelHandle mutex;
    bool first_ = true;
};

} // namespace app
