// A virtual WinUSB unit for Wine test prefixes: a WDM driver on a root-enumerated
// device that registers and enables an interface of the units' WinUSB class at
// start and answers descriptor requests from the test-only winusb.dll. Its
// descriptors, strings and faults come from the device's "Device Parameters"
// key, read at each request; it counts opens, handles still open and
// descriptor requests there. Test-only: never installed beside the product or
// shipped.
//
// A request for a descriptor longer than the buffer is answered as the unit's
// SmallBuffer setting says: 0 fails with STATUS_BUFFER_TOO_SMALL (the WinUSB
// documentation: "If the buffer is not large enough to hold the descriptor
// data, no data is copied"), 1 copies the first bytes and succeeds (what USB
// GET_DESCRIPTOR itself does, USB 2.0 section 9.3.5).
#include "UnitDriverSupport.h"

#include "WinUsbUnitProtocol.h"

// {6B128895-01DE-4056-8AEE-C10BF3C4763A}
static const GUID unitInterfaceClass = {
    0x6B128895, 0x01DE, 0x4056, {0x8A, 0xEE, 0xC1, 0x0B, 0xF3, 0xC4, 0x76, 0x3A}};

typedef struct {
    PDEVICE_OBJECT pdo;
    PDEVICE_OBJECT lower;
    UNICODE_STRING link;
} UNIT_EXTENSION;

static UNIT_EXTENSION* unitOf(PDEVICE_OBJECT device)
{
    return (UNIT_EXTENSION*)device->DeviceExtension;
}

static HANDLE openSettings(PDEVICE_OBJECT device)
{
    return openDeviceSettings(unitOf(device)->pdo);
}

static void countOn(PDEVICE_OBJECT device, const WCHAR* name, LONG change)
{
    HANDLE key = openSettings(device);
    addToCounter(key, name, change);
    if (key)
        ZwClose(key);
}

// The descriptor the unit sends for a request; 0 bytes when it has none.
// ManufacturerIndex, ProductIndex and SerialIndex are the device descriptor's
// string indices (1, 2, 3 unless set; 0 means no string). FailDescriptors: 1
// the device descriptor, 2, 4, 8 the strings of indices 1, 2, 3.
// OddLength and OversizedLength (same bits as the strings) make a string's
// length byte one more than its size, or 255. ShortDeviceDescriptor sends only
// that many bytes of the device descriptor.
static ULONG buildDescriptor(HANDLE key, const UNIT_DESCRIPTOR_REQUEST* request, UCHAR* out,
                             BOOLEAN* fails)
{
    static const WCHAR* const names[] = {L"Manufacturer", L"Product", L"Serial"};
    static const WCHAR* const indexNames[] = {L"ManufacturerIndex", L"ProductIndex", L"SerialIndex"};
    const ULONG failing = readNumber(key, L"FailDescriptors", 0);
    ULONG which;
    *fails = FALSE;
    if (request->type == 1 && request->index == 0) {
        static const UCHAR device[18] = {18, 1, 0x00, 0x02, 0xFF, 0, 0, 64, 0x83, 0x04,
                                         0x10, 0xA1, 0x00, 0x01, 1, 2, 3, 1};
        const ULONG size = readNumber(key, L"ShortDeviceDescriptor", sizeof device);
        *fails = (failing & 1) != 0;
        RtlCopyMemory(out, device, sizeof device);
        for (which = 0; which < 3; ++which)
            out[14 + which] = (UCHAR)readNumber(key, indexNames[which], which + 1);
        return size < sizeof device ? size : sizeof device;
    }
    for (which = 0; which < 3; ++which)
        if (request->index != 0 && request->index == readNumber(key, indexNames[which], which + 1))
            break;
    if (request->type == 3 && request->language == 0x0409 && which < 3) {
        const ULONG bit = 1u << request->index;
        WCHAR text[127] = {0};
        ULONG type = 0;
        ULONG bytes = readSetting(key, names[which], &type, text, sizeof text - sizeof(WCHAR));
        if (type != REG_SZ)
            bytes = 0;
        bytes = (ULONG)wcsnlen(text, bytes / sizeof(WCHAR)) * sizeof(WCHAR);
        *fails = (failing & bit) != 0;
        out[0] = (UCHAR)(2 + bytes);
        if (readNumber(key, L"OddLength", 0) & bit)
            out[0] += 1;
        if (readNumber(key, L"OversizedLength", 0) & bit)
            out[0] = 255;
        out[1] = 3;
        RtlCopyMemory(out + 2, text, bytes);
        return 2 + bytes;
    }
    *fails = TRUE;
    return 0;
}

static NTSTATUS getDescriptor(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    UNIT_DESCRIPTOR_REQUEST request;
    UCHAR descriptor[260];
    BOOLEAN fails = FALSE;
    ULONG size, room, smallBuffer;
    HANDLE key;
    if (stack->Parameters.DeviceIoControl.InputBufferLength < sizeof request)
        return complete(irp, STATUS_INVALID_PARAMETER, 0);
    RtlCopyMemory(&request, irp->AssociatedIrp.SystemBuffer, sizeof request);
    room = stack->Parameters.DeviceIoControl.OutputBufferLength;
    countOn(device, L"DescriptorRequests", 1);
    key = openSettings(device);
    size = buildDescriptor(key, &request, descriptor, &fails);
    smallBuffer = readNumber(key, L"SmallBuffer", 0);
    if (key)
        ZwClose(key);
    if (fails)
        return complete(irp, STATUS_UNSUCCESSFUL, 0);
    if (size > room) {
        if (smallBuffer == 0)
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        size = room;
    }
    RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, descriptor, size);
    return complete(irp, STATUS_SUCCESS, size);
}

static NTSTATUS NTAPI control(PDEVICE_OBJECT device, PIRP irp)
{
    if (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode
        == IOCTL_UNIT_GET_DESCRIPTOR)
        return getDescriptor(device, irp);
    return complete(irp, STATUS_NOT_SUPPORTED, 0);
}

static NTSTATUS NTAPI create(PDEVICE_OBJECT device, PIRP irp)
{
    countOn(device, L"Opens", 1);
    countOn(device, L"OpenHandles", 1);
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI close(PDEVICE_OBJECT device, PIRP irp)
{
    countOn(device, L"OpenHandles", -1);
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI pnp(PDEVICE_OBJECT device, PIRP irp)
{
    UNIT_EXTENSION* unit = unitOf(device);
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    NTSTATUS status;
    if (minor == IRP_MN_SURPRISE_REMOVAL || minor == IRP_MN_REMOVE_DEVICE)
        IoSetDeviceInterfaceState(&unit->link, FALSE);
    if (minor == IRP_MN_START_DEVICE || minor == IRP_MN_SURPRISE_REMOVAL
        || minor == IRP_MN_REMOVE_DEVICE)
        irp->IoStatus.Status = STATUS_SUCCESS;
    IoSkipCurrentIrpStackLocation(irp);
    status = IoCallDriver(unit->lower, irp);
    if (minor == IRP_MN_START_DEVICE)
        IoSetDeviceInterfaceState(&unit->link, TRUE);
    if (minor == IRP_MN_REMOVE_DEVICE) {
        IoDetachDevice(unit->lower);
        RtlFreeUnicodeString(&unit->link);
        IoDeleteDevice(device);
    }
    return status;
}

static NTSTATUS NTAPI power(PDEVICE_OBJECT device, PIRP irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(unitOf(device)->lower, irp);
}

static NTSTATUS NTAPI addDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    PDEVICE_OBJECT fdo = NULL;
    UNIT_EXTENSION* unit;
    NTSTATUS status = IoCreateDevice(driver, sizeof(UNIT_EXTENSION), NULL, FILE_DEVICE_UNKNOWN, 0,
                                     FALSE, &fdo);
    if (!NT_SUCCESS(status))
        return status;
    unit = unitOf(fdo);
    unit->pdo = pdo;
    RtlInitUnicodeString(&unit->link, NULL);
    status = IoRegisterDeviceInterface(pdo, &unitInterfaceClass, NULL, &unit->link);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(fdo);
        return status;
    }
    unit->lower = IoAttachDeviceToDeviceStack(fdo, pdo);
    fdo->Flags |= DO_BUFFERED_IO;
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void NTAPI unload(PDRIVER_OBJECT driver)
{
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    (void)registryPath;
    driver->MajorFunction[IRP_MJ_CREATE] = create;
    driver->MajorFunction[IRP_MJ_CLOSE] = close;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = control;
    driver->MajorFunction[IRP_MJ_PNP] = pnp;
    driver->MajorFunction[IRP_MJ_POWER] = power;
    driver->DriverExtension->AddDevice = addDevice;
    driver->DriverUnload = unload;
    return STATUS_SUCCESS;
}
