/* The private request between the test-only winusb.dll and the virtual WinUSB
   unit's driver: one descriptor, as WinUsb_GetDescriptor asks for it. */
#pragma once

#define IOCTL_UNIT_GET_DESCRIPTOR CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS)

typedef struct {
    unsigned char type;
    unsigned char index;
    unsigned short language;
} UNIT_DESCRIPTOR_REQUEST;
