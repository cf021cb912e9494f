#pragma once
// The drive transfers in flight on this process's Win32 drive handles, so
// that a stop can end the ones that wait: a synchronous ReadFile or
// WriteFile on a drive that stopped answering is cancelled on the thread
// that waits in it (CancelSynchronousIo), else on its handle (CancelIoEx).
// The transfer then fails with ERROR_OPERATION_ABORTED.
#include <windows.h>

#include <cstddef>
#include <cstdint>

// The calling thread's transfer on hFile, known while the guard lives.
class CTransferInFlight {
public:
    explicit CTransferInFlight(HANDLE hFile);
    ~CTransferInFlight();
    CTransferInFlight(const CTransferInFlight&) = delete;
    CTransferInFlight& operator=(const CTransferInFlight&) = delete;

private:
    uint64_t m_nId;
};

// Cancels every transfer in flight that began at least nWaitedMs ago;
// returns how many were cancelled.
size_t CancelTransfersWaitingSince(uint32_t nWaitedMs);
