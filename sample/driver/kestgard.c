/* The stand-in for the product's driver: it loads, succeeds and unloads,
   and does nothing else. */
#include <ddk/wdm.h>

/* Which revision this is: kept in the image, so that revisions differ. */
__attribute__((used)) static const char revision[] = KG_REVISION;

static VOID NTAPI KestgardUnload(PDRIVER_OBJECT driver) { (void)driver; }

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    (void)registryPath;
    driver->DriverUnload = KestgardUnload;
    return STATUS_SUCCESS;
}
