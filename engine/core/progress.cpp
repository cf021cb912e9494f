#include "engine/core/progress.h"

#include <algorithm>

#include "engine/core/format.h"

bool IsProgressText(uint32_t nCode)
{
    return nCode == PROGRESS_IMAGE_SPEED || (nCode >= PROGRESS_DRIVE_SPEED && nCode < PROGRESS_DRIVE_SPEED + 4);
}

namespace {

// Truncates towards zero, saturating where a speed near zero would give a
// figure beyond the 64-bit range.
int64_t Truncate(double d)
{
    if (d >= 9.2e18) return INT64_MAX;
    if (d <= -9.2e18) return INT64_MIN;
    return static_cast<int64_t>(d);
}

// Per mille of a fraction, kept within 0..1000: a remaining count above the
// size gives 0, never a negative or wrapped-around figure.
int64_t PerMille(double dFraction)
{
    return Truncate(std::clamp(dFraction * 1000.0, 0.0, 1000.0));
}

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
        fig.nPerMille = PerMille(done / size);
    } else if (ePass == EPass::ReadThenVerify) {
        fig.nPerMille = PerMille(done / (2.0 * size));
    } else {
        fig.nPerMille = PerMille((2.0 * size - remain) / (2.0 * size));
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
    const double size = static_cast<double>(nSize);
    return PerMille((size - static_cast<double>(nRemain)) / size);
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
