// The compare job's progress batch: the whole job (per mille, remaining
// time), the image-file side of a verify pass (per mille, speed), then for
// each drive in use its verify per mille, left out once the drive has
// failed, and its speed.
#include <algorithm>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/progress.h"
#include "engine/core/tick.h"

// The whole job follows the slowest comparer still running. When every
// comparer has failed, it stays where the slowest of them stopped instead
// of jumping to the end.
void CCompareDiskImage::UpdateRemainMax()
{
    uint64_t nLive = 0;
    uint64_t nAll = 0;
    bool bAnyLive = false;
    for (const T_COMPTASK_INFO& task : m_compTask) {
        if (!task.bActive) continue;
        const uint64_t nRemain = task.nRemain;
        nAll = std::max(nAll, nRemain);
        if (task.bFailed) continue;
        bAnyLive = true;
        nLive = std::max(nLive, nRemain);
    }
    m_nRemainMax = bAnyLive ? nLive : nAll;
}

void CCompareDiskImage::PostProgress()
{
    const uint64_t nSize = m_nTotal;
    const uint64_t nElapsed = GetTickCountMs() - m_dwStartTick;
    const EPass ePass = m_bVerifyFollows ? EPass::VerifyAfterWrite : EPass::One;
    const T_JOB_FIGURES fig = ComputeJobFigures(nSize, m_nRemainMax, nElapsed, ePass);
    PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_TOTAL, fig.nPerMille);
    if (fig.bRemainKnown) PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_REMAIN, fig.nRemainSeconds);
    PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_IMAGE_VERIFY, StagePerMille(nSize, m_fileRead.nRemain));
    PostProgressSpeed(m_hNotifyWnd, m_uProgressMsg, PROGRESS_IMAGE_SPEED, m_fileRead.dSpeed);
    for (size_t i = 0; i < MAX_DRIVES; ++i) {
        const T_DISKREAD_INFO& rec = m_diskRead[i];
        if (!m_compTask[i].bActive) continue;
        const uint32_t nRow = static_cast<uint32_t>(m_nRow[i]);
        if (!rec.bFailed && !m_compTask[i].bFailed) {
            PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_DRIVE_VERIFY + nRow,
                              StagePerMille(nSize, rec.nRemain));
        }
        PostProgressSpeed(m_hNotifyWnd, m_uProgressMsg, PROGRESS_DRIVE_SPEED + nRow, rec.dSpeed);
    }
}
