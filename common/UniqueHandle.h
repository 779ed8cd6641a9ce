// One owner for every kind of system handle: a traits type names the handle's
// type, its "none" value and how it is closed. Only the family's own "none"
// counts as nothing owned: null for events, processes and registry keys (where
// -1 is the current process's pseudo-handle), INVALID_HANDLE_VALUE for files and
// device-information sets, so a value straight from a failed call of the right
// family can be stored without a check.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <utility>

namespace common {

template <typename Traits>
class UniqueHandle {
public:
    using Value = typename Traits::Value;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Value value) noexcept : value_(value) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Value get() const noexcept { return value_; }
    bool valid() const noexcept { return !isNone(value_); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives the value up without closing it.
    Value release() noexcept { return std::exchange(value_, Traits::none()); }

    // Closes what is owned and hands the empty owner to a call's out-parameter:
    // WinUsb_Initialize(file, usb.put()).
    Value* put() noexcept
    {
        reset();
        return &value_;
    }

    // Closes what is owned and takes value instead. The caller's last error
    // survives the close, so it can still be read after a cleanup.
    void reset(Value value = Traits::none()) noexcept
    {
        const Value old = std::exchange(value_, value);
        if (isNone(old))
            return;
        const DWORD error = GetLastError();
        Traits::close(old);
        SetLastError(error);
    }

private:
    static bool isNone(Value value) noexcept { return value == Traits::none(); }

    Value value_ = Traits::none();
};

// Handles whose "none" is null: events, processes, registry keys, memory blocks,
// COM objects, C files.
template <typename T, auto Close>
struct NullIsNone {
    using Value = T;
    static constexpr T none() noexcept { return T(); }
    static void close(T value) noexcept { Close(value); }
};

// Handles whose "none" is INVALID_HANDLE_VALUE: files, devices, pipes, device-information sets.
template <typename T, auto Close>
struct InvalidIsNone {
    using Value = T;
    static T none() noexcept { return reinterpret_cast<T>(INVALID_HANDLE_VALUE); }
    static void close(T value) noexcept { Close(value); }
};

inline void closeKernelHandle(HANDLE handle) noexcept
{
    ::CloseHandle(handle);
}

inline void freeGlobalBlock(HGLOBAL block) noexcept
{
    ::GlobalFree(block);
}

inline void closeRegistryKey(HKEY key) noexcept
{
    ::RegCloseKey(key);
}

inline void closeCFile(std::FILE* file) noexcept
{
    std::fclose(file);
}

inline void destroyIcon(HICON icon) noexcept
{
    ::DestroyIcon(icon);
}

inline void destroyAcceleratorTable(HACCEL table) noexcept
{
    ::DestroyAcceleratorTable(table);
}

inline void destroyMenu(HMENU menu) noexcept
{
    ::DestroyMenu(menu);
}

inline void freeBstr(BSTR text) noexcept
{
    ::SysFreeString(text);
}

template <typename Interface>
void releaseComObject(Interface* object) noexcept
{
    object->Release();
}

// An event, a thread or any other kernel object that CreateXxx returns as null on failure.
using KernelHandle = UniqueHandle<NullIsNone<HANDLE, closeKernelHandle>>;
// A file, device or pipe from CreateFileW, which fails with INVALID_HANDLE_VALUE.
using FileHandle = UniqueHandle<InvalidIsNone<HANDLE, closeKernelHandle>>;
// A registry key from RegOpenKeyEx or RegCreateKeyEx.
using RegistryKeyHandle = UniqueHandle<NullIsNone<HKEY, closeRegistryKey>>;
// A C runtime file from fopen or _wfsopen.
using CFile = UniqueHandle<NullIsNone<std::FILE*, closeCFile>>;
// A block from GlobalAlloc.
using GlobalBlock = UniqueHandle<NullIsNone<HGLOBAL, freeGlobalBlock>>;
// An icon from LoadImageW without LR_SHARED.
using IconHandle = UniqueHandle<NullIsNone<HICON, destroyIcon>>;
// An accelerator table from CreateAcceleratorTableW.
using AcceleratorTable = UniqueHandle<NullIsNone<HACCEL, destroyAcceleratorTable>>;
// A menu from CreatePopupMenu that no window owns.
using MenuHandle = UniqueHandle<NullIsNone<HMENU, destroyMenu>>;
// A string from SysAllocString, or one a COM call handed over.
using Bstr = UniqueHandle<NullIsNone<BSTR, freeBstr>>;
// One reference to a COM object.
template <typename Interface>
using ComReference = UniqueHandle<NullIsNone<Interface*, releaseComObject<Interface>>>;

} // namespace common
