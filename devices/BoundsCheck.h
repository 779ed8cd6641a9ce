// Stops the process at once when a reader of untrusted device or service data is
// about to leave the bytes it received: a wrong read is never better than none.
#pragma once

#define QUORVEL_CHECK_BOUNDS(condition)                                                           \
    do {                                                                                          \
        if (!(condition))                                                                         \
            __builtin_trap();                                                                     \
    } while (0)
