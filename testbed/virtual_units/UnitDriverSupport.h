/* What both virtual units' drivers need: their settings and counters in a
   device's "Device Parameters" key, and completing a request. Kernel mode. */
#pragma once

#include <ntddk.h>

/* The device's settings key, or NULL. */
static HANDLE openDeviceSettings(PDEVICE_OBJECT physicalDevice)
{
    HANDLE key = NULL;
    if (!NT_SUCCESS(IoOpenDeviceRegistryKey(physicalDevice, PLUGPLAY_REGKEY_DEVICE, KEY_ALL_ACCESS, &key)))
        return NULL;
    return key;
}

/* A value of the settings key: type and data into buffer; 0 bytes when missing. */
static ULONG readSetting(HANDLE key, const WCHAR* name, ULONG* type, void* buffer, ULONG size)
{
    UCHAR raw[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 512];
    KEY_VALUE_PARTIAL_INFORMATION* info = (KEY_VALUE_PARTIAL_INFORMATION*)raw;
    UNICODE_STRING valueName;
    ULONG length = 0;
    RtlInitUnicodeString(&valueName, name);
    if (!key || !NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info,
                                            sizeof raw, &length))
        || info->DataLength > size)
        return 0;
    RtlCopyMemory(buffer, info->Data, info->DataLength);
    *type = info->Type;
    return info->DataLength;
}

static ULONG readNumber(HANDLE key, const WCHAR* name, ULONG fallback)
{
    ULONG type = 0, value = 0;
    return readSetting(key, name, &type, &value, sizeof value) == sizeof value && type == REG_DWORD
               ? value
               : fallback;
}

/* Adds change (which may be negative) to a counter of the key. */
static void addToCounter(HANDLE key, const WCHAR* name, LONG change)
{
    UNICODE_STRING valueName;
    ULONG value = readNumber(key, name, 0) + (ULONG)change;
    RtlInitUnicodeString(&valueName, name);
    if (key)
        ZwSetValueKey(key, &valueName, 0, REG_DWORD, &value, sizeof value);
}

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}
