#include "engine/device/win32/win32_transfers.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct T_TRANSFER {
    uint64_t nId;
    HANDLE hFile;
    DWORD dwThreadId;
    ULONGLONG nStartTick;
};

// The registry's lock is held while a transfer is cancelled, so its thread
// cannot leave the transfer and start another one that the cancel meets.
std::mutex g_mutexTransfers;
std::vector<T_TRANSFER> g_arrTransfers;
uint64_t g_nLastId = 0;

bool CancelOnThread(DWORD dwThreadId)
{
    const HANDLE hThread = ::OpenThread(THREAD_TERMINATE, FALSE, dwThreadId);
    if (!hThread) return false;
    const bool bCancelled = ::CancelSynchronousIo(hThread) != FALSE;
    ::CloseHandle(hThread);
    return bCancelled;
}

}  // namespace

CTransferInFlight::CTransferInFlight(HANDLE hFile)
{
    std::lock_guard lock(g_mutexTransfers);
    m_nId = ++g_nLastId;
    g_arrTransfers.push_back(T_TRANSFER{m_nId, hFile, ::GetCurrentThreadId(), ::GetTickCount64()});
}

CTransferInFlight::~CTransferInFlight()
{
    std::lock_guard lock(g_mutexTransfers);
    std::erase_if(g_arrTransfers, [this](const T_TRANSFER& t) { return t.nId == m_nId; });
}

size_t CancelTransfersWaitingSince(uint32_t nWaitedMs)
{
    std::lock_guard lock(g_mutexTransfers);
    const ULONGLONG nNow = ::GetTickCount64();
    size_t nCancelled = 0;
    for (const T_TRANSFER& t : g_arrTransfers) {
        if (nNow - t.nStartTick < nWaitedMs) continue;
        if (CancelOnThread(t.dwThreadId) || ::CancelIoEx(t.hFile, nullptr)) ++nCancelled;
    }
    return nCancelled;
}
