#pragma once
// System error codes travel as plain 32-bit values (errno on POSIX,
// GetLastError on Windows); this is where they turn into text.
#include <cstdint>
#include <string>

// The system's text for an error code, without carriage returns, ending in
// one line feed; empty when the system has no text for it.
std::string GetSystemErrorText(uint32_t nCode);

// Codes the portable core needs to recognise or report, per platform.
namespace SystemError {
uint32_t FileExists();  // creating a file that is already there
uint32_t NoMemory();
uint32_t IoError();  // a device failed a transfer
uint32_t NotReady();  // no medium in the drive
uint32_t NotSupported();  // the device does not answer this request
uint32_t DiskFull();
uint32_t Cancelled();  // a transfer that was told to give up
// Opening failed because someone else holds the device or file (an
// exclusive opener, a mounted file system, an open that shares nothing).
bool IsInUse(uint32_t nCode);
// Opening failed because the file, or a folder on its path, is not there.
bool IsNotFound(uint32_t nCode);
// The file system has no room left for the file (full, over quota, or the
// file at its largest size): trying again cannot help.
bool IsNoRoom(uint32_t nCode);
}  // namespace SystemError
