// The compare job's run operation: logs the header, builds the pool and
// the queues, opens and measures the drives and the image, runs the
// threads while it posts progress, and hands back what became of each
// drive.
//
// A drive that cannot be opened, is neither a disk nor a regular file, or
// does not tell its size is left out of the comparison (and so fails the
// run). The comparison length is the shortest drive's length, cut to the
// image's size for a raw image; what the image holds past it is looked at
// when the comparison is done.
#include "engine/compare/compare_disk_image.h"

#include <algorithm>

#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"

namespace {

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

CCompareDiskImage::~CCompareDiskImage()
{
    m_run.Stop();
    m_run.JoinStages();
    CloseAndDelete();
}

T_ENGINE_RESULT CCompareDiskImage::Run(const T_ENGINE_JOB& job)
{
    if (job.arrDrives.empty() || job.arrDrives.size() > MAX_DRIVES) {
        T_ENGINE_RESULT result;
        result.arrSlots.resize(job.arrDrives.size());
        return result;
    }
    m_job = job;
    m_run.Begin(job.wiring);
    MakeSlots();
    LogHeader();
    if (BuildPipeline()) {
        const bool bAnyDrive = OpenDrives();
        const bool bImage = m_imageFile.Open(m_run.Devices(), m_job.strImage, ImageFormatOf(m_job.options));
        uint64_t nFileSize = 0;
        if (bAnyDrive && bImage && m_imageFile.GetFileSize(nFileSize) && MeasureDrives(nFileSize) &&
            !m_run.Stopped()) {
            StartWorkers();
            m_run.PollUntilDone([this](bool bFinal) { PollProgress(bFinal); }, [this] { return EverySlotFailed(); });
            m_run.JoinStages();
        }
    }
    const T_ENGINE_RESULT result = Results();
    CloseAndDelete();
    return result;
}

void CCompareDiskImage::MakeSlots()
{
    m_slots.clear();
    for (const T_ENGINE_DRIVE& drive : m_job.arrDrives) {
        T_SLOT& s = m_slots.emplace_back();
        s.strPath = drive.strPath;
        s.strName = drive.strName.empty() ? drive.strPath : drive.strName;
        s.nRow = drive.nRow;
    }
    const T_JOB_OPTIONS& options = m_job.options;
    m_bCommonLength = ImageIsCompressed(options) && options.bForceVerify;
    m_nAgreement = options.bUnstableRead ? std::max(options.nUnstableReadCount, 1) : 0;
    m_nTotal = 0;
    m_pFileReader = nullptr;
    m_dwFileError = 0;
    m_bFileReadOk = false;
    m_dFileSpeed = 0.0;
    m_tail = T_IMAGE_TAIL{};
    // A stop from outside fails every slot's comparer.
    m_run.WakeOnStop([this] {
        if (!m_run.AbortRequested()) return;
        for (T_SLOT& s : m_slots) s.bFailed = true;
    });
}

// "VERIFY <image> <=> <first drive>, <second drive>, ..." in pieces that
// the log view joins into one line.
void CCompareDiskImage::LogHeader()
{
    LogInfo("VERIFY");
    LogInfo(" %s <=> %s", m_job.strImage, m_slots[0].strName);
    for (size_t i = 1; i < m_slots.size(); ++i) LogInfo(", %s", m_slots[i].strName);
    LogInfo("\n");
}

// Two queues for every slot, then the pool. Without its blocks the job
// cannot run: it fails with the reason in the log.
bool CCompareDiskImage::BuildPipeline()
{
    const uint32_t nBlocks = std::max(m_job.nBlocks, MIN_POOL_BLOCKS);
    const uint32_t nCapacity = QueueCapacity(nBlocks, m_slots.size());
    for (T_SLOT& s : m_slots) {
        s.pDiskQueue = m_run.NewQueue(nCapacity);
        s.pFileQueue = m_run.NewQueue(nCapacity);
    }
    m_pBuffer = m_run.BuildPool(BLOCK_SIZE, nBlocks);
    return m_pBuffer != nullptr;
}

// True when at least one drive is open.
bool CCompareDiskImage::OpenDrives()
{
    bool bAny = false;
    for (T_SLOT& s : m_slots) bAny = OpenDrive(s) || bAny;
    return bAny;
}

bool CCompareDiskImage::OpenDrive(T_SLOT& s)
{
    uint32_t nError = 0;
    const EOpenMode eMode = m_job.options.bShareRead ? EOpenMode::ReadDriveShared : EOpenMode::ReadDrive;
    s.hDisk = m_run.Devices().Open(s.strPath, eMode, nError);
    if (!s.hDisk) {
        s.dwError = nError;
        LogDiskOpenError(s.strPath, nError);
        LeaveOut(s);
        return false;
    }
    const EDeviceKind eKind = s.hDisk->GetKind();
    if (eKind != EDeviceKind::BlockDevice && eKind != EDeviceKind::RegularFile) {
        LogError("can't open disk %s.\nit is %s, not a disk.\n", s.strPath, DeviceKindText(eKind));
        LeaveOut(s);
        return false;
    }
    s.bActive = true;
    return true;
}

// Sets m_nTotal from the drives that tell their size; true when at least
// one of them is left. nFileSize is a compressed size for a compressed
// image and says nothing about its data's length: the drive decides then.
bool CCompareDiskImage::MeasureDrives(uint64_t nFileSize)
{
    const bool bCompressed = ImageIsCompressed(m_job.options);
    bool bAny = false;
    uint64_t nTotal = UINT64_MAX;
    for (T_SLOT& s : m_slots) {
        if (!s.bActive) continue;
        uint32_t nError = 0;
        if (!GetDiskSize(*s.hDisk, s.nDiskSize, nError)) {
            s.dwError = nError;
            LogError("GetDiskSize() failed.\n%s\n", GetSystemErrorText(nError));
            LeaveOut(s);
            continue;
        }
        LogInfo("%s\n", s.strName);
        LogInfo("  disk size=%I64u bytes.\n", s.nDiskSize);
        LogInfo("  file size=%I64u bytes%s.\n", nFileSize, bCompressed ? "(compressed)" : "");
        nTotal = std::min(nTotal, bCompressed ? s.nDiskSize : std::min(s.nDiskSize, nFileSize));
        bAny = true;
    }
    m_nTotal = bAny ? nTotal : 0;
    return bAny;
}

void CCompareDiskImage::LeaveOut(T_SLOT& s)
{
    s.hDisk.reset();
    s.bActive = false;
    s.eVerdict = ESlotVerdict::NotOpened;
}

// The image-file reader first, then per active slot its reader and its
// comparer. A thread that cannot be started stops the run (the run has
// logged why); without the image-file reader no other thread is started.
void CCompareDiskImage::StartWorkers()
{
    m_nFileRemain = m_nTotal;
    for (T_SLOT& s : m_slots) s.nReadRemain = s.nRemain = m_nTotal;
    m_nRemainMax = m_nTotal;
    T_RUN_STAGE& fileReader = m_run.StartStage([this] { FileReaderThread(); });
    if (!fileReader.bStarted) return;
    m_pFileReader = &fileReader;
    for (T_SLOT& s : m_slots) {
        if (!s.bActive) continue;
        s.eVerdict = ESlotVerdict::Stopped;  // until its comparer says more
        if (!m_run.StartStage([this, &s] { DiskReaderThread(s); }).bStarted) {
            s.bReadFailed = s.bFailed = true;
            return;
        }
        T_RUN_STAGE& comparer = m_run.StartStage([this, &s] { ComparerThread(s); });
        if (!comparer.bStarted) {
            s.bReadFailed = s.bFailed = true;
            return;
        }
        s.pComparer = &comparer;
    }
}

// Every interval, and once more at the end. A run in which every drive
// has failed is stopped: nothing is left to compare.
void CCompareDiskImage::PollProgress(bool bFinal)
{
    if (!bFinal && EverySlotFailed()) m_run.Stop();
    UpdateRemainMax();
    PostProgress();
}

// Every drive reader, or every comparer, of the run has failed.
bool CCompareDiskImage::EverySlotFailed() const
{
    bool bReaders = true;
    bool bComparers = true;
    for (const T_SLOT& s : m_slots) {
        if (!s.bActive) continue;
        bReaders = bReaders && s.bReadFailed;
        bComparers = bComparers && s.bFailed;
    }
    return bReaders || bComparers;
}

// The whole job follows the slowest comparer still running. When every
// comparer has failed, it stays where the slowest of them stopped instead
// of jumping to the end.
void CCompareDiskImage::UpdateRemainMax()
{
    uint64_t nLive = 0;
    uint64_t nAll = 0;
    bool bAnyLive = false;
    for (const T_SLOT& s : m_slots) {
        if (!s.bActive) continue;
        const uint64_t nRemain = s.nRemain;
        nAll = std::max(nAll, nRemain);
        if (s.bFailed) continue;
        bAnyLive = true;
        nLive = std::max(nLive, nRemain);
    }
    m_nRemainMax = bAnyLive ? nLive : nAll;
}

// The whole job (per mille, remaining time), the image-file side of a
// verify pass (per mille, speed), then for each drive in use its verify
// per mille, left out once the drive has failed, and its speed.
void CCompareDiskImage::PostProgress()
{
    const uint64_t nSize = m_nTotal;
    const EPass ePass = m_job.bVerifyPass ? EPass::VerifyAfterWrite : EPass::One;
    const T_JOB_FIGURES fig = ComputeJobFigures(nSize, m_nRemainMax, m_run.ElapsedMs(), ePass);
    m_run.PostValue(PROGRESS_TOTAL, fig.nPerMille);
    if (fig.bRemainKnown) m_run.PostValue(PROGRESS_REMAIN, fig.nRemainSeconds);
    m_run.PostValue(PROGRESS_IMAGE_VERIFY, StagePerMille(nSize, m_nFileRemain));
    m_run.PostSpeed(PROGRESS_IMAGE_SPEED, m_dFileSpeed);
    for (const T_SLOT& s : m_slots) {
        if (!s.bActive) continue;
        const auto nRow = static_cast<uint32_t>(s.nRow);
        if (!s.bReadFailed && !s.bFailed) {
            m_run.PostValue(PROGRESS_DRIVE_VERIFY + nRow, StagePerMille(nSize, s.nReadRemain));
        }
        m_run.PostSpeed(PROGRESS_DRIVE_SPEED + nRow, s.dSpeed);
    }
}

// Every drive asked for must have been compared in full and found equal: a
// drive that could not even be opened or measured fails the run as well.
T_ENGINE_RESULT CCompareDiskImage::Results() const
{
    T_ENGINE_RESULT result;
    result.bOk = m_bFileReadOk;
    result.dwError = m_dwFileError;
    result.nTotal = m_nTotal;
    for (const T_SLOT& s : m_slots) {
        result.bOk = result.bOk && s.bActive && s.bReadOk && s.eVerdict == ESlotVerdict::Ok;
        T_SLOT_RESULT& slot = result.arrSlots.emplace_back();
        slot.eVerdict = s.eVerdict;
        slot.dwError = s.dwError;
        slot.nBytes = s.nChecked;
    }
    return result;
}

void CCompareDiskImage::CloseAndDelete()
{
    for (T_SLOT& s : m_slots) s.hDisk.reset();
    m_imageFile.Close();
    m_run.ReleaseParts([this] {
        for (T_SLOT& s : m_slots) s.pDiskQueue = s.pFileQueue = nullptr;
    });
    m_pBuffer = nullptr;
}
