/*
 * vuxadrv.sys: the virtual token's Windows kernel driver.
 *
 * Creates \Device\VUXADRVR with the link \DosDevices\VUXADRVR, so that
 * applications open "\\.\VUXADRVR" as they would the driver of a real
 * token.  Every opened file is a handle of the virtual token driver core
 * (vtd.h); every METHOD_BUFFERED device control on it goes to vtd_control
 * unchanged: the library's four controls and the management ones.  This
 * file is only the kernel glue, in C because the DDK headers do not
 * compile as C++; the core is the same freestanding code vuxad runs.
 */
#include <ntddk.h>

#include "vtd.h"

#define VUXA_POOL_TAG 0x64787556u /* "Vuxd" as pool tools show it */

/* The largest input a control may carry (management image imports are the
 * biggest); anything larger is refused before it is copied. */
#define VUXA_MAX_CONTROL_INPUT (1024u * 1024u)

/* BCRYPT_USE_SYSTEM_PREFERRED_RNG; the CNG header does not mix with the
 * DDK headers, so the one function is declared here (ksecdd exports it). */
#define VUXA_SYSTEM_PREFERRED_RNG 0x00000002u
NTSTATUS NTAPI BCryptGenRandom(void *algorithm, PUCHAR buffer, ULONG size, ULONG flags);

static const WCHAR device_name[] = L"\\Device\\VUXADRVR";
static const WCHAR link_name[] = L"\\DosDevices\\VUXADRVR";

/* One core for the whole system; calls into it are serialised. */
static vtd_driver *core;
static FAST_MUTEX core_lock;

/* DriverEntry refuses to load when the system generator does not answer,
 * so a failure here is not expected. */
static void fill_random(void *context, uint8_t *out, size_t n)
{
    (void)context;
    BCryptGenRandom(NULL, out, (ULONG)n, VUXA_SYSTEM_PREFERRED_RNG);
}

/* The core reports failures as Win32 errors; the I/O manager turns the
 * NTSTATUS back into the error the caller's GetLastError shows. */
static NTSTATUS status_of_error(uint32_t error)
{
    static const struct {
        uint32_t error;
        NTSTATUS status;
    } table[] = {
        {1, STATUS_INVALID_DEVICE_REQUEST},   /* ERROR_INVALID_FUNCTION */
        {2, STATUS_NO_SUCH_FILE},             /* ERROR_FILE_NOT_FOUND */
        {4, STATUS_TOO_MANY_OPENED_FILES},    /* ERROR_TOO_MANY_OPEN_FILES */
        {5, STATUS_ACCESS_DENIED},            /* ERROR_ACCESS_DENIED */
        {6, STATUS_INVALID_HANDLE},           /* ERROR_INVALID_HANDLE */
        {8, STATUS_NO_MEMORY},                /* ERROR_NOT_ENOUGH_MEMORY */
        {31, STATUS_UNSUCCESSFUL},            /* ERROR_GEN_FAILURE */
        {50, STATUS_NOT_SUPPORTED},           /* ERROR_NOT_SUPPORTED */
        {87, STATUS_INVALID_PARAMETER},       /* ERROR_INVALID_PARAMETER */
        {122, STATUS_BUFFER_TOO_SMALL},       /* ERROR_INSUFFICIENT_BUFFER */
    };
    for (size_t i = 0; i < sizeof table / sizeof table[0]; i++) {
        if (table[i].error == error)
            return table[i].status;
    }
    /* Any other error travels as an NTSTATUS of the Win32 facility. */
    return (NTSTATUS)(0xC0070000u | (error & 0xFFFFu));
}

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static uint32_t handle_of(PIO_STACK_LOCATION stack)
{
    return (uint32_t)(ULONG_PTR)stack->FileObject->FsContext;
}

static NTSTATUS dispatch_create(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    uint32_t handle = 0;
    ExAcquireFastMutex(&core_lock);
    uint32_t error = vtd_open_handle(core, &handle);
    ExReleaseFastMutex(&core_lock);
    if (error)
        return complete(irp, status_of_error(error), 0);
    stack->FileObject->FsContext = (PVOID)(ULONG_PTR)handle;
    return complete(irp, STATUS_SUCCESS, 0);
}

/* Windows sends IRP_MJ_CLEANUP before the close; Wine never does.  The
 * handle is released at the close, which both send. */
static NTSTATUS dispatch_cleanup(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS dispatch_close(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ExAcquireFastMutex(&core_lock);
    vtd_close_handle(core, handle_of(stack));
    ExReleaseFastMutex(&core_lock);
    return complete(irp, STATUS_SUCCESS, 0);
}

/* METHOD_BUFFERED: input and output share one system buffer, so the input
 * is copied first and the core writes its answer into the buffer. */
static NTSTATUS dispatch_control(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in_size = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out_size = stack->Parameters.DeviceIoControl.OutputBufferLength;
    uint8_t *buffer = irp->AssociatedIrp.SystemBuffer;

    if (METHOD_FROM_CTL_CODE(code) != METHOD_BUFFERED || in_size > VUXA_MAX_CONTROL_INPUT)
        return complete(irp, STATUS_INVALID_PARAMETER, 0);
    uint8_t *in = NULL;
    if (in_size) {
        in = ExAllocatePoolWithTag(NonPagedPool, in_size, VUXA_POOL_TAG);
        if (!in)
            return complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
        RtlCopyMemory(in, buffer, in_size);
    }
    uint32_t returned = 0;
    ExAcquireFastMutex(&core_lock);
    uint32_t error = vtd_control(core, handle_of(stack), code, in, in_size, buffer, out_size,
                                 &returned);
    ExReleaseFastMutex(&core_lock);
    if (in) {
        RtlSecureZeroMemory(in, in_size);
        ExFreePoolWithTag(in, VUXA_POOL_TAG);
    }
    if (error)
        return complete(irp, status_of_error(error), 0);
    return complete(irp, STATUS_SUCCESS, returned);
}

static void driver_unload(PDRIVER_OBJECT driver)
{
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, link_name);
    IoDeleteSymbolicLink(&link);
    if (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
    if (core) {
        RtlSecureZeroMemory(core, vtd_driver_size());
        ExFreePoolWithTag(core, VUXA_POOL_TAG);
        core = NULL;
    }
}

static NTSTATUS create_device(PDRIVER_OBJECT driver)
{
    UNICODE_STRING name, link;
    PDEVICE_OBJECT device;
    RtlInitUnicodeString(&name, device_name);
    RtlInitUnicodeString(&link, link_name);
    NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN,
                                     FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status))
        IoDeleteDevice(device);
    return status;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path)
{
    (void)registry_path;
    uint8_t probe[8];
    if (!NT_SUCCESS(BCryptGenRandom(NULL, probe, sizeof probe, VUXA_SYSTEM_PREFERRED_RNG)))
        return STATUS_UNSUCCESSFUL;

    core = ExAllocatePoolWithTag(NonPagedPool, vtd_driver_size(), VUXA_POOL_TAG);
    if (!core)
        return STATUS_INSUFFICIENT_RESOURCES;
    vtd_driver_init(core, fill_random, NULL);
    ExInitializeFastMutex(&core_lock);

    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_create;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_cleanup;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_close;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_control;
    driver->DriverUnload = driver_unload;

    NTSTATUS status = create_device(driver);
    if (!NT_SUCCESS(status)) {
        ExFreePoolWithTag(core, VUXA_POOL_TAG);
        core = NULL;
    }
    return status;
}
