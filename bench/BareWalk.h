// The bare SetupAPI walk of one device-interface class: the set, every interface
// and its detail, and the set's destruction, opening nothing. What any stage of a
// scan must pay before it does anything of its own.
#pragma once

#include <windows.h>

namespace bench {

// Returns the number of interfaces walked.
int bareClassWalk(const GUID& interfaceClass);
int bareHidWalk();

} // namespace bench
