// The bare SetupAPI walk of one device-interface class: the set, every interface
// and its detail, and the set's destruction, opening nothing. What any stage of a
// scan must pay before it does anything of its own.
#pragma once

#include <windows.h>

#include <functional>

namespace bench {

// Called with each interface's device path; a benchmark's own reads go here.
using InterfaceVisit = std::function<void(const wchar_t* devicePath)>;

// Returns the number of interfaces walked.
int bareClassWalk(const GUID& interfaceClass, const InterfaceVisit& visit = {});
int bareHidWalk(const InterfaceVisit& visit = {});

} // namespace bench
