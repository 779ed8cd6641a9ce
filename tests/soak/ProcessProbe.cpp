#include "ProcessProbe.h"

#include "support/ProcessCounters.h"

#include <winternl.h>

#include <vector>

namespace soak {

namespace {

// SystemExtendedHandleInformation, as the system lays it out.
constexpr ULONG systemExtendedHandleInformation = 64;

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};

struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

using QuerySystemInformation = NTSTATUS(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

std::uint32_t countHandles(DWORD processId)
{
    static const auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::vector<unsigned char> buffer(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = query(systemExtendedHandleInformation, buffer.data(),
                                      static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
            std::uint32_t count = 0;
            for (ULONG_PTR i = 0; i < table->count; ++i)
                count += table->entries[i].processId == processId;
            return count;
        }
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
    }
    return 0;
}

} // namespace

ProcessSample sampleProcess(HANDLE process, DWORD processId)
{
    ProcessSample sample;
    sample.handles = countHandles(processId);
    sample.windows = testing_support::countProcessWindows(processId);
    sample.privateBytes = testing_support::privateBytes(process);
    sample.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    sample.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    return sample;
}

} // namespace soak
