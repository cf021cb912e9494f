#include "engine/progress.h"

#include "engine/format.h"

bool IsProgressText(uint32_t nCode)
{
    return nCode == PROGRESS_IMAGE_SPEED || (nCode >= PROGRESS_DRIVE_SPEED && nCode < PROGRESS_DRIVE_SPEED + 4);
}

namespace {

int64_t Truncate(double d) { return static_cast<int64_t>(d); }

}  // namespace

T_JOB_FIGURES ComputeJobFigures(uint64_t nSize, uint64_t nRemain, uint64_t nElapsedMs, EPass ePass)
{
    T_JOB_FIGURES fig;
    const double size = static_cast<double>(nSize);
    const double remain = static_cast<double>(nRemain);
    const double done = size - remain;
    if (nSize == 0) {
        fig.nPerMille = 1000;
    } else if (ePass == EPass::One) {
        fig.nPerMille = Truncate(done / size * 1000.0);
    } else if (ePass == EPass::ReadThenVerify) {
        fig.nPerMille = Truncate(done / (2.0 * size) * 1000.0);
    } else {
        fig.nPerMille = Truncate((2.0 * size - remain) / (2.0 * size) * 1000.0);
    }
    const double speed = nElapsedMs == 0 ? 0.0 : done / static_cast<double>(nElapsedMs) * 1000.0;
    if (speed > 0.0) {
        const double toGo = ePass == EPass::ReadThenVerify ? remain + size : remain;
        fig.nRemainSeconds = Truncate(toGo / speed);
        fig.bRemainKnown = true;
    }
    return fig;
}

int64_t StagePerMille(uint64_t nSize, uint64_t nRemain)
{
    if (nSize == 0) return 1000;
    return Truncate(static_cast<double>(nSize - nRemain) / static_cast<double>(nSize) * 1000.0);
}

std::string SpeedText(double dBytesPerSecond)
{
    return FormatText("    %.2fMB/s", dBytesPerSecond / 1000000.0);
}

double StageSpeed(double dPrevious, uint64_t nDone, uint32_t dwStartTick, uint32_t dwNow)
{
    const uint32_t dwElapsed = dwNow - dwStartTick;
    if (dwElapsed == 0) return dPrevious;
    return static_cast<double>(nDone) / static_cast<double>(dwElapsed) * 1000.0;
}

void PostProgressValue(INotifyTarget* pTarget, uint32_t uMsg, uint32_t nCode, int64_t nValue)
{
    PostNotify(pTarget, uMsg, nCode, static_cast<LPARAM_T>(nValue));
}

void PostProgressSpeed(INotifyTarget* pTarget, uint32_t uMsg, uint32_t nCode, double dBytesPerSecond)
{
    PostHeapString(pTarget, uMsg, nCode, SpeedText(dBytesPerSecond));
}
