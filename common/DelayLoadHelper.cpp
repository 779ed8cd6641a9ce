// The product's own resolver for its delay-loaded imports, in place of the C
// runtime's. Newer linkers (binutils 2.44 on Debian 13) put the delay-load
// address table in a read-only section, where the runtime's resolver writes
// without asking and the first call into a delay-loaded DLL faults. This one
// opens the slot for writing first. It also loads from system32 alone, as every
// other load of the product does.
#include <windows.h>

#include <delayimp.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this image, wherever it was loaded

namespace {

template <typename T>
T* at(DWORD rva) noexcept
{
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(&__ImageBase) + rva);
}

// One writer at a time: two threads resolving their first calls at once share
// the table's page, and one must not make it read-only again under the other.
SRWLOCK storeLock = SRWLOCK_INIT;

template <typename T>
void store(T* slot, T value) noexcept
{
    AcquireSRWLockExclusive(&storeLock);
    DWORD previous = 0;
    const bool opened = VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous) != 0;
    *slot = value;
    if (opened)
        VirtualProtect(slot, sizeof *slot, previous, &previous);
    ReleaseSRWLockExclusive(&storeLock);
}

[[noreturn]] void fail(DWORD code, PCImgDelayDescr descriptor, FARPROC* slot, LPCSTR dll) noexcept
{
    DelayLoadInfo info = {};
    info.cb = sizeof info;
    info.pidd = descriptor;
    info.ppfn = slot;
    info.szDll = dll;
    info.dwLastError = GetLastError();
    ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(&info);
    RaiseException(VcppException(ERROR_SEVERITY_ERROR, code), 0, 1, &argument);
    ExitProcess(code);  // not reached: the exception ends the process when nothing handles it
}

} // namespace

extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* slot)
{
    const LPCSTR dll = at<const char>(descriptor->rvaDLLName);
    HMODULE* const module = at<HMODULE>(descriptor->rvaHmod);
    const FARPROC* const table = at<FARPROC>(descriptor->rvaIAT);
    const IMAGE_THUNK_DATA* const names = at<IMAGE_THUNK_DATA>(descriptor->rvaINT) + (slot - table);

    HMODULE loaded = *module;
    if (!loaded) {
        loaded = LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!loaded)
            fail(ERROR_MOD_NOT_FOUND, descriptor, slot, dll);
        store(module, loaded);  // a second thread's load of it meanwhile only adds a reference
    }
    const LPCSTR procedure = IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)
                                 ? reinterpret_cast<LPCSTR>(IMAGE_ORDINAL(names->u1.Ordinal))
                                 : at<IMAGE_IMPORT_BY_NAME>(static_cast<DWORD>(names->u1.AddressOfData))->Name;
    const FARPROC function = GetProcAddress(loaded, procedure);
    if (!function)
        fail(ERROR_PROC_NOT_FOUND, descriptor, slot, dll);
    store(slot, function);
    return function;
}
