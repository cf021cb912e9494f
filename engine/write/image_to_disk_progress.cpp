// The write job's progress batch: the whole job, the image reader, then
// every target's row. With the MD5 check the job counts as twice its
// length (the write, then the read-back), and the figure keeps moving
// while the targets read back.
#include <algorithm>

#include "engine/core/progress.h"
#include "engine/core/tick.h"
#include "engine/write/image_to_disk.h"

// The largest remainders to write and to read back. While the run goes on
// only targets that still work count (a dropped or finished target would
// hold the figure where it stopped); unchanged when none does. At the end
// every active target counts, so the last figure shows what was not done.
void CImageToDisk::UpdateRemainMax(bool bFinal)
{
    bool bAny = false;
    uint64_t nRemain = 0;
    uint64_t nMd5Remain = 0;
    for (const T_DISKTASK_INFO& t : m_Task) {
        if (!t.bActive) continue;
        if (!bFinal && (t.bStopped || t.bFinished)) continue;
        bAny = true;
        nRemain = std::max(nRemain, t.nRemain.load());
        nMd5Remain = std::max(nMd5Remain, t.nMd5Remain.load());
    }
    if (!bAny) return;
    m_nRemainMax = nRemain;
    m_nMd5RemainMax = nMd5Remain;
}

void CImageToDisk::PostProgress()
{
    const uint64_t nTotal = m_nTotal;
    const uint64_t nElapsed = static_cast<uint32_t>(GetTickCountMs() - m_dwStartTick);
    T_JOB_FIGURES fig;
    if (m_bVerifyFollows) {
        fig = ComputeJobFigures(nTotal, m_nRemainMax, nElapsed, EPass::ReadThenVerify);
    } else if (m_opt.bMd5Check) {
        fig = ComputeJobFigures(2 * nTotal, m_nMd5RemainMax + m_nRemainMax, nElapsed, EPass::One);
    } else {
        fig = ComputeJobFigures(nTotal, m_nRemainMax, nElapsed, EPass::One);
    }
    PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_TOTAL, fig.nPerMille);
    if (fig.bRemainKnown) PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_REMAIN, fig.nRemainSeconds);
    PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_IMAGE, StagePerMille(nTotal, m_nReaderRemain));
    PostProgressSpeed(m_hNotifyWnd, m_uProgressMsg, PROGRESS_IMAGE_SPEED, m_dReaderSpeed);
    for (int i = 0; i < MAX_TARGETS; ++i) {
        const T_DISKTASK_INFO& t = m_Task[i];
        if (!t.bActive) continue;
        const auto nRow = static_cast<uint32_t>(m_nRow[i]);
        if (!t.bStopped) {
            if (m_opt.bMd5Check && t.nRemain == 0) {
                PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_DRIVE_VERIFY + nRow,
                                  StagePerMille(nTotal, t.nMd5Remain));
            } else {
                PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_DRIVE + nRow, StagePerMille(nTotal, t.nRemain));
            }
        }
        PostProgressSpeed(m_hNotifyWnd, m_uProgressMsg, PROGRESS_DRIVE_SPEED + nRow, t.dSpeed);
    }
}
