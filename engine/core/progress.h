#pragma once
// Progress codes (wParam of WM_ENGINE_PROGRESS) and the figures the engines
// post: per-mille values, remaining seconds and speed texts.
#include <cstdint>
#include <string>

#include "engine/core/notify.h"

constexpr uint32_t PROGRESS_TOTAL = 0;
constexpr uint32_t PROGRESS_REMAIN = 1;
constexpr uint32_t PROGRESS_IMAGE = 1000;
constexpr uint32_t PROGRESS_IMAGE_VERIFY = 1050;
constexpr uint32_t PROGRESS_IMAGE_SPEED = 1100;
constexpr uint32_t PROGRESS_CHECKSUM = 1200;
constexpr uint32_t PROGRESS_DRIVE = 2000;         // + row 0..3
constexpr uint32_t PROGRESS_DRIVE_VERIFY = 2050;  // + row 0..3
constexpr uint32_t PROGRESS_DRIVE_SPEED = 2100;   // + row 0..3

// The codes whose lParam is a heap string (the speed texts).
bool IsProgressText(uint32_t nCode);

// Which pass of a job a whole-job figure describes.
enum class EPass {
    One,               // a job of one pass
    ReadThenVerify,    // a pass that a verify pass of the same size will follow
    VerifyAfterWrite,  // the verify pass that followed a write pass
};

struct T_JOB_FIGURES {
    int64_t nPerMille = 0;
    int64_t nRemainSeconds = 0;
    bool bRemainKnown = false;  // false while no speed is known yet
};

// Whole-job per mille and remaining time from the job's size, the engine's
// remaining count and the milliseconds since the engine started.
T_JOB_FIGURES ComputeJobFigures(uint64_t nSize, uint64_t nRemain, uint64_t nElapsedMs, EPass ePass);

// (size - stage remaining) / size per mille; a 0-byte job counts as done.
int64_t StagePerMille(uint64_t nSize, uint64_t nRemain);

// Bytes per second -> "    %.2fMB/s" (MB = 10^6 bytes).
std::string SpeedText(double dBytesPerSecond);

// A stage's speed after a block: bytes done / ms since its start x 1000.
// The previous speed is kept when no millisecond has passed yet.
double StageSpeed(double dPrevious, uint64_t nDone, uint32_t dwStartTick, uint32_t dwNow);

// Posting helpers used by every engine's progress batch.
void PostProgressValue(INotifyTarget* pTarget, uint32_t uMsg, uint32_t nCode, int64_t nValue);
void PostProgressSpeed(INotifyTarget* pTarget, uint32_t uMsg, uint32_t nCode, double dBytesPerSecond);
