/* The stand-in for the product's driver: it loads, succeeds and unloads,
   and does nothing else. */
#include <ddk/wdm.h>

static VOID NTAPI KestgardUnload(PDRIVER_OBJECT driver)
{
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    (void)registryPath;
    driver->DriverUnload = KestgardUnload;
    return STATUS_SUCCESS;
}
