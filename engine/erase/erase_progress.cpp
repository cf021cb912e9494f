// The erase job's progress batch: every target's row, then the whole job.
// The whole-job figures follow the slowest target that still runs: the
// smallest share done, the longest time still needed.
#include <algorithm>

#include "engine/core/progress.h"
#include "engine/erase/erase_disk.h"

namespace {

// nRemain bytes at dSpeed bytes per second, truncated; a speed near zero
// gives the largest figure instead of one beyond the 64-bit range.
int64_t SecondsLeft(uint64_t nRemain, double dSpeed)
{
    const double dSeconds = static_cast<double>(nRemain) / dSpeed;
    return dSeconds >= 9.2e18 ? INT64_MAX : static_cast<int64_t>(dSeconds);
}

}  // namespace

void CEraseDisk::UpdateRemainMax()
{
    uint64_t nRemain = 0;
    for (const T_DISKTASK_INFO& t : m_Task) {
        if (t.bActive) nRemain = std::max(nRemain, t.nRemain.load());
    }
    m_nRemainMax = nRemain;
}

void CEraseDisk::PostProgress()
{
    const uint64_t nElapsed = static_cast<uint32_t>(m_fnTick() - m_dwStartTick);
    const T_JOB_FIGURES fig = ComputeJobFigures(m_nTotal * m_nPass, m_nRemainMax, nElapsed, EPass::One);
    int64_t nPerMille = fig.nPerMille;
    bool bRemainKnown = fig.bRemainKnown;
    int64_t nRemainSeconds = fig.nRemainSeconds;
    for (int i = 0; i < MAX_TARGETS; ++i) {
        const T_DISKTASK_INFO& t = m_Task[i];
        if (!t.bActive) continue;
        const auto nRow = static_cast<uint32_t>(m_nRow[i]);
        const uint64_t nRemain = t.nRemain;
        const double dSpeed = t.dSpeed;
        if (!t.bStopped) {
            const int64_t nDrive = StagePerMille(t.nSize * m_nPass, nRemain);
            PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_DRIVE + nRow, nDrive);
            nPerMille = std::min(nPerMille, nDrive);
            if (dSpeed > 0.0) {
                nRemainSeconds = std::max(nRemainSeconds, SecondsLeft(nRemain, dSpeed));
                bRemainKnown = true;
            }
        }
        PostProgressSpeed(m_hNotifyWnd, m_uProgressMsg, PROGRESS_DRIVE_SPEED + nRow, dSpeed);
    }
    PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_TOTAL, nPerMille);
    if (bRemainKnown) PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_REMAIN, nRemainSeconds);
}
