// The compare job's run operation: logs the header, builds the pool and
// the queues, opens and measures the drives and the image, runs the
// workers while it posts progress, and adds up the result.
#include "engine/compare/compare_disk_image.h"

#include <algorithm>

#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"

namespace {

constexpr uint32_t MIN_BLOCKS = 16;
constexpr uint32_t INITIAL_QUEUE_CAPACITY = 16;

// The capacity of every queue of a run. While they wait, the stages hold
// blocks: per drive, the reader the block it has just read, its disk
// queue, and the comparer the drive block it pairs; on the image side the
// reader its block, the slowest file queue and that comparer's file block.
// The capacity is chosen so that all of this together never needs more
// blocks than the pool has: no stage then waits for a free block that
// only another waiting stage could give back. The smallest pool (16
// blocks) with four drives leaves one item per queue.
uint32_t QueueCapacity(uint32_t nBlocks, size_t nDrives)
{
    const uint64_t nSides = nDrives + 1;  // every drive, and the image
    const uint64_t nHeld = 2 * nSides;    // a reader's block and a comparer's block per side
    return static_cast<uint32_t>(std::max<uint64_t>(1, (nBlocks - nHeld) / nSides));
}

}  // namespace

CCompareDiskImage::T_COMPTASK_INFO::T_COMPTASK_INFO()
    : m_pDiskQueue(std::make_unique<CQueue>(INITIAL_QUEUE_CAPACITY)),
      m_pFileQueue(std::make_unique<CQueue>(INITIAL_QUEUE_CAPACITY))
{
}

CCompareDiskImage::T_COMPTASK_INFO::~T_COMPTASK_INFO() = default;

CCompareDiskImage::CCompareDiskImage() = default;

CCompareDiskImage::~CCompareDiskImage()
{
    StopWorkers();
    CloseHandles();
    DeletePipeline();
}

bool CCompareDiskImage::Run(std::span<const std::string> arrPaths, const std::string& strImage, uint32_t nBlocks)
{
    if (arrPaths.empty() || arrPaths.size() > MAX_DRIVES) return false;
    m_nDrives = arrPaths.size();
    nBlocks = std::max(nBlocks, MIN_BLOCKS);
    m_bCompressed = g_bOptCompressImage;
    m_bForceVerify = g_bOptForceVerify;
    m_bCommonLength = m_bCompressed && m_bForceVerify;
    m_nAgreement = g_bOptUnstableRead ? std::max(g_nUnstableReadCount, 1) : 0;
    m_fileRead.bSuccess = false;
    m_nTotal = 0;
    LogHeader(arrPaths, strImage);

    bool bResult = false;
    if (BuildPipeline(m_nDrives, nBlocks)) {
        const bool bAnyDrive = OpenDrives(arrPaths);
        const bool bImage = m_imageFile.Open(*m_pDevices, strImage, m_bCompressed);
        uint64_t nFileSize = 0;
        if (bAnyDrive && bImage && m_imageFile.GetFileSize(nFileSize) && MeasureDrives(nFileSize) &&
            !m_bAbortRequested) {
            StartWorkers();
            PollUntilDone();
            StopWorkers();
            bResult = ComputeResult(m_nDrives);
        }
    }
    CloseHandles();
    DeletePipeline();
    return bResult;
}

// "VERIFY <image> <=> <first drive>, <second drive>, ..." in pieces that
// the log view joins into one line.
void CCompareDiskImage::LogHeader(std::span<const std::string> arrPaths, const std::string& strImage)
{
    for (size_t i = 0; i < arrPaths.size(); ++i) {
        if (m_strName[i].empty()) m_strName[i] = arrPaths[i];
    }
    LogInfo("VERIFY");
    LogInfo(" %s <=> %s", strImage, m_strName[0]);
    for (size_t i = 1; i < arrPaths.size(); ++i) LogInfo(", %s", m_strName[i]);
    LogInfo("\n");
}

// Clears every slot and gives it fresh queues, then builds the pool.
// Without its blocks the job cannot run: it fails with the reason in the
// log instead of ending the whole program.
bool CCompareDiskImage::BuildPipeline(size_t nDrives, uint32_t nBlocks)
{
    std::lock_guard lock(m_mutexParts);
    const uint32_t nCapacity = QueueCapacity(nBlocks, nDrives);
    for (size_t i = 0; i < MAX_DRIVES; ++i) {
        T_DISKREAD_INFO& rec = m_diskRead[i];
        rec.bActive = false;
        rec.dwError = 0;
        rec.bSuccess = false;
        rec.nRemain = 0;
        rec.dSpeed = 0.0;
        rec.bFailed = false;
        rec.bDone = false;
        T_COMPTASK_INFO& task = m_compTask[i];
        task.bActive = false;
        task.m_pDiskQueue = std::make_unique<CQueue>(nCapacity);
        task.m_pFileQueue = std::make_unique<CQueue>(nCapacity);
        task.dwError = 0;
        task.nResult = 0;
        task.nRemain = 0;
        task.bFailed = false;
        task.bDone = false;
    }
    m_pBuffer = std::make_unique<CFixedBuffer>();
    if (m_pBuffer->Create(m_nBlockSize, nBlocks)) return true;
    LogError("out of memory.\n%s\n", GetSystemErrorText(SystemError::NoMemory()));
    m_pBuffer.reset();
    return false;
}

void CCompareDiskImage::DeletePipeline()
{
    std::lock_guard lock(m_mutexParts);
    m_pBuffer.reset();
    for (T_COMPTASK_INFO& task : m_compTask) {
        task.m_pDiskQueue.reset();
        task.m_pFileQueue.reset();
    }
}

// Every drive asked for must have been compared in full and found equal: a
// drive that could not even be opened or measured fails the run as well.
bool CCompareDiskImage::ComputeResult(size_t nDrives) const
{
    bool bResult = m_fileRead.bSuccess;
    for (size_t i = 0; i < nDrives; ++i) {
        bResult = bResult && m_compTask[i].bActive && m_diskRead[i].bSuccess && m_compTask[i].nResult == 1;
    }
    return bResult;
}
