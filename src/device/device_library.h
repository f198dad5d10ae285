#pragma once
// The device interface: one process-wide device manager, devices named by handle (their
// index in enumeration order). Every call looks the handle up first and fails without
// touching anything when it is not in the list. 0 is success, 1 failure, unless said.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "device/resend_policy.h"
#include "device/transport.h"

namespace vexal::device {

class TransportDevice;

// mode 1 builds the device manager; mode 0 ends the start-up phase. Returns 1 on success.
int DevStartup(int mode);
// Chooses the transport the next enumeration uses (the back end carries its own records
// and adapter count). Always 0.
int DevSetTransport(std::shared_ptr<Transport> transport);
std::shared_ptr<Transport> DevGetTransport();
// Sends a rescan to every adapter; `settle` pauses afterwards when the transport needs it.
int DevRescanBuses(bool settle = true);
// Frees the previous list and enumerates anew. 1 only when memory runs out.
int DevEnumerate();
int DevFreeList();

int DevFirst(int* handle, const uint8_t** identity, size_t* identityLength);
int DevNext(int* handle, const uint8_t** identity, size_t* identityLength);
int DevGetIdentity(int handle, const uint8_t** identity, size_t* identityLength);
int DevGetAddress(int handle, uint8_t* adapter, uint8_t* target, uint8_t* lun);
int DevWriteBuffer(int handle, const void* data, size_t offset, size_t length);
int DevReadBuffer(int handle, void* data, size_t offset, size_t length);
int DevExecute(int handle, const uint8_t* cdb, int cdbLength, uint32_t transferLength, int toDevice);
// The channel buffer itself, with room for `length` bytes, for a caller that builds its
// data in place and reads the answer where the device left it: long runs of transfers
// then move no byte twice. Null for an unknown handle or when memory runs out. Valid
// until a later call asks for more room.
uint8_t* DevBufferData(int handle, size_t length);
// Copies at most maxLength sense bytes of the last completed request; returns the last
// error code (1 for a handle that is not in the list).
int DevGetStatus(int handle, uint8_t* sense, size_t maxLength);
int DevLastError(int handle);                     // -1: not in the list
int DevTimeout(int handle, int set, int seconds);  // -1: not in the list
int DevTestUnitReady(int handle);
int DevRewind(int handle);
int DevInquiry(int handle, uint8_t* data, size_t length);
int DevInquiryPageC1(int handle, uint8_t* data, size_t length);
int DevResetDevice(int handle);
// Aborts the command another thread is waiting for: the device is asked to (ABORT TASK
// where the transport can), within a few seconds. 0 when the command has ended.
int DevAbort(int handle);
// Gives that command up without the device's word: the waiting thread gets it back as
// aborted at once, and the transport lets go of it (an iSCSI session is dropped; an SG_IO
// is left to the kernel, which ends it when the device answers or its time-out passes).
// 0 when the command has ended.
int DevAbandon(int handle);

// Beyond the classic interface: the SCSI status byte of the last completed command and
// the number of sense bytes it returned (-1 for a handle not in the list).
int DevGetTargetStatus(int handle);
int DevGetSenseLength(int handle);
// What the wait loop of the last command did about host-adapter time-outs (sends,
// time-outs, whether a resend was withheld); 1 (and an empty report) for a handle that is
// not in the list.
int DevGetTimeoutReport(int handle, TimeoutReport* report);
// Data bytes the device is known to have sent for the last completed command (GOOD with
// its residual, a READ's residue from VALID sense, else 0; see data_in_count.h); the
// channel buffer holds zeros after them. -1 for a handle not in the list.
int64_t DevGetTransferred(int handle);
// The errno of the last command or device reset whose pass-through failed (0 when it
// worked; -1 for a handle not in the list), and the sentence that names it with its node,
// e.g. "/dev/sg3: No such device" (empty when there was none).
int DevGetSystemError(int handle);
std::string DevSystemErrorText(int handle);
// The unit serial number the scan read from the device (VPD page 80h): kept with the
// device until the list is freed. Get returns 1 when none was stored.
int DevSetUnitSerial(int handle, const std::string& serial);
int DevGetUnitSerial(int handle, std::string& serial);
// The number of devices in the list.
int DevCount();
// The transport device behind a handle, for tests of the wait loop; null when unknown.
TransportDevice* DevTransportDevice(int handle);

}  // namespace vexal::device
