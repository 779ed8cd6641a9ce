// A virtual HID unit for Wine test prefixes: a HID minidriver on a
// root-enumerated device. Its identifiers, strings and faults come from the
// device's "Device Parameters" registry key, read at each request so that a
// test can change them while the unit is plugged in; it counts the string
// requests it answers in the same key, and the opens and the handles still
// open of the HID device that the class driver makes for it in that device's
// own key (HID\VID_...\INSTANCE). Test-only: never installed beside the
// product or shipped.
//
// Facts it follows (the minidriver interface of hidclass.sys): the requests
// arrive as internal device controls, CTL_CODE(FILE_DEVICE_KEYBOARD, n,
// METHOD_NEITHER, FILE_ANY_ACCESS), with the output in Irp->UserBuffer and a
// string request's index in Type3InputBuffer itself; a read report is left
// pending (a failed one makes the class driver's read loop spin) and is
// completed when the device goes away.
#include "UnitDriverSupport.h"

#define HID_CTL(n) CTL_CODE(FILE_DEVICE_KEYBOARD, (n), METHOD_NEITHER, FILE_ANY_ACCESS)
#define UNIT_GET_DEVICE_DESCRIPTOR HID_CTL(0)
#define UNIT_GET_REPORT_DESCRIPTOR HID_CTL(1)
#define UNIT_READ_REPORT HID_CTL(2)
#define UNIT_GET_STRING HID_CTL(4)
#define UNIT_ACTIVATE_DEVICE HID_CTL(7)
#define UNIT_DEACTIVATE_DEVICE HID_CTL(8)
#define UNIT_GET_DEVICE_ATTRIBUTES HID_CTL(9)

// The minidriver registration and device extension, as hidclass.sys lays them out.
typedef struct {
    ULONG Revision;
    PDRIVER_OBJECT DriverObject;
    PUNICODE_STRING RegistryPath;
    ULONG DeviceExtensionSize;
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} UNIT_MINIDRIVER_REGISTRATION;

typedef struct {
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT NextDeviceObject;
    PVOID MiniDeviceExtension;
} UNIT_HID_EXTENSION;

typedef struct {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} UNIT_DEVICE_ATTRIBUTES;

#include <pshpack1.h>
typedef struct {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    UCHAR bReportType;
    USHORT wReportLength;
} UNIT_HID_DESCRIPTOR;
#include <poppack.h>

NTSTATUS NTAPI HidRegisterMinidriver(UNIT_MINIDRIVER_REGISTRATION* registration);

// One vendor-defined collection (usage page 0xFF00), left to applications,
// with a one-byte input report.
static const UCHAR reportDescriptor[] = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02, 0xC0,
};

typedef struct {
    PIRP pendingRead;
} UNIT_EXTENSION;

static UNIT_HID_EXTENSION* hidExtension(PDEVICE_OBJECT device)
{
    return (UNIT_HID_EXTENSION*)device->DeviceExtension;
}

static UNIT_EXTENSION* unitExtension(PDEVICE_OBJECT device)
{
    return (UNIT_EXTENSION*)hidExtension(device)->MiniDeviceExtension;
}

static HANDLE openSettings(PDEVICE_OBJECT device)
{
    return openDeviceSettings(hidExtension(device)->PhysicalDeviceObject);
}

static NTSTATUS copyOut(PIRP irp, const void* data, ULONG size)
{
    const ULONG room = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
    if (!irp->UserBuffer || room < size)
        return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    RtlCopyMemory(irp->UserBuffer, data, size);
    return complete(irp, STATUS_SUCCESS, size);
}

// Manufacturer, product and serial number: Windows asks for string ids 14 to 16,
// Wine 8's class driver for 1 to 3. A bit of FailStrings (1, 2, 4) makes that
// string's request fail.
static NTSTATUS getString(PDEVICE_OBJECT device, PIRP irp)
{
    static const WCHAR* const names[] = {L"Manufacturer", L"Product", L"Serial"};
    const ULONG id = (ULONG)(ULONG_PTR)IoGetCurrentIrpStackLocation(irp)
                         ->Parameters.DeviceIoControl.Type3InputBuffer & 0xFFFF;
    const ULONG which = id >= 14 && id <= 16 ? id - 14 : id >= 1 && id <= 3 ? id - 1 : 3;
    HANDLE key = openSettings(device);
    WCHAR text[256] = {0};
    ULONG type = 0, bytes = 0;
    NTSTATUS status;
    addToCounter(key, L"StringRequests", 1);
    if (which > 2 || (readNumber(key, L"FailStrings", 0) & (1u << which))) {
        status = complete(irp, STATUS_UNSUCCESSFUL, 0);
    } else {
        bytes = readSetting(key, names[which], &type, text, sizeof text - sizeof(WCHAR));
        if (type != REG_SZ)
            bytes = 0;
        text[bytes / sizeof(WCHAR)] = 0;
        status = copyOut(irp, text, (ULONG)(wcslen(text) + 1) * sizeof(WCHAR));
    }
    if (key)
        ZwClose(key);
    return status;
}

static NTSTATUS NTAPI internalControl(PDEVICE_OBJECT device, PIRP irp)
{
    const ULONG code = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode;
    switch (code) {
    case UNIT_GET_DEVICE_DESCRIPTOR: {
        UNIT_HID_DESCRIPTOR descriptor = {sizeof descriptor, 0x21, 0x0100, 0, 1, 0x22,
                                          sizeof reportDescriptor};
        return copyOut(irp, &descriptor, sizeof descriptor);
    }
    case UNIT_GET_REPORT_DESCRIPTOR:
        return copyOut(irp, reportDescriptor, sizeof reportDescriptor);
    case UNIT_GET_DEVICE_ATTRIBUTES: {
        HANDLE key = openSettings(device);
        UNIT_DEVICE_ATTRIBUTES attributes = {0};
        attributes.Size = sizeof attributes;
        attributes.VendorID = (USHORT)readNumber(key, L"VendorId", 0x0483);
        attributes.ProductID = (USHORT)readNumber(key, L"ProductId", 0xA110);
        attributes.VersionNumber = 0x0100;
        if (key)
            ZwClose(key);
        return copyOut(irp, &attributes, sizeof attributes);
    }
    case UNIT_GET_STRING:
        return getString(device, irp);
    case UNIT_READ_REPORT: {
        // Nothing to report, ever: the read waits until the unit goes away.
        UNIT_EXTENSION* unit = unitExtension(device);
        IoMarkIrpPending(irp);
        PIRP earlier = (PIRP)InterlockedExchangePointer((PVOID*)&unit->pendingRead, irp);
        if (earlier)
            complete(earlier, STATUS_CANCELLED, 0);
        return STATUS_PENDING;
    }
    case UNIT_ACTIVATE_DEVICE:
    case UNIT_DEACTIVATE_DEVICE:
        return complete(irp, STATUS_SUCCESS, 0);
    default:
        return complete(irp, STATUS_NOT_SUPPORTED, 0);
    }
}

static NTSTATUS NTAPI pnp(PDEVICE_OBJECT device, PIRP irp)
{
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    if (minor == IRP_MN_SURPRISE_REMOVAL || minor == IRP_MN_REMOVE_DEVICE) {
        PIRP read = (PIRP)InterlockedExchangePointer((PVOID*)&unitExtension(device)->pendingRead, NULL);
        if (read)
            complete(read, STATUS_DELETE_PENDING, 0);
    }
    if (minor == IRP_MN_START_DEVICE || minor == IRP_MN_SURPRISE_REMOVAL
        || minor == IRP_MN_REMOVE_DEVICE)
        irp->IoStatus.Status = STATUS_SUCCESS;
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(hidExtension(device)->NextDeviceObject, irp);
}

static NTSTATUS NTAPI power(PDEVICE_OBJECT device, PIRP irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(hidExtension(device)->NextDeviceObject, irp);
}

// The class driver handles opens and closes itself; these count them on the way.
static PDRIVER_DISPATCH classCreate;
static PDRIVER_DISPATCH classClose;

static void countOnHidDevice(PDEVICE_OBJECT device, LONG opens, LONG handles)
{
    // Only the class driver's HID device is a physical device object with a key.
    HANDLE key = openDeviceSettings(device);
    if (!key)
        return;
    addToCounter(key, L"Opens", opens);
    addToCounter(key, L"OpenHandles", handles);
    ZwClose(key);
}

static NTSTATUS NTAPI countedCreate(PDEVICE_OBJECT device, PIRP irp)
{
    countOnHidDevice(device, 1, 1);
    return classCreate(device, irp);
}

static NTSTATUS NTAPI countedClose(PDEVICE_OBJECT device, PIRP irp)
{
    countOnHidDevice(device, 0, -1);
    return classClose(device, irp);
}

static NTSTATUS NTAPI addDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT fdo)
{
    (void)driver;
    unitExtension(fdo)->pendingRead = NULL;
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void NTAPI unload(PDRIVER_OBJECT driver)
{
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    UNIT_MINIDRIVER_REGISTRATION registration = {0};
    NTSTATUS status;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = internalControl;
    driver->MajorFunction[IRP_MJ_PNP] = pnp;
    driver->MajorFunction[IRP_MJ_POWER] = power;
    driver->DriverExtension->AddDevice = addDevice;
    driver->DriverUnload = unload;
    registration.Revision = 1;
    registration.DriverObject = driver;
    registration.RegistryPath = registryPath;
    registration.DeviceExtensionSize = sizeof(UNIT_EXTENSION);
    registration.DevicesArePolled = FALSE;
    status = HidRegisterMinidriver(&registration);
    classCreate = driver->MajorFunction[IRP_MJ_CREATE];
    classClose = driver->MajorFunction[IRP_MJ_CLOSE];
    driver->MajorFunction[IRP_MJ_CREATE] = countedCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = countedClose;
    return status;
}
