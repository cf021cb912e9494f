// Row state words.
#include "ui/model/row_state.h"

#include "ui/model/control_ids.h"

uint32_t RowStateAtStart(int nTask)
{
    return RowTaskBit(nTask) | ROWSTATE_BUSY;
}

uint32_t RowStateAfterVerdict(uint32_t nState, bool bOk)
{
    if (bOk) return (nState & ~(ROWSTATE_FAILED | ROWSTATE_BUSY)) | ROWSTATE_DONE;
    return (nState & ~(ROWSTATE_DONE | ROWSTATE_BUSY)) | ROWSTATE_FAILED;
}

uint32_t RowStateAfterReadyChange(uint32_t nState, bool bReady)
{
    if (bReady) return nState & ~(ROWSTATE_FAILED | ROWSTATE_DONE | ROWSTATE_NOT_READY | ROWSTATE_TASK_MASK);
    return nState | ROWSTATE_NOT_READY;
}

T_ROW_VERDICT RowVerdictOf(WPARAM_T wParam, LPARAM_T lParam)
{
    T_ROW_VERDICT verdict;
    // The row is checked from both sides: a negative row must not index the rows.
    if ((wParam >> 16) != 0 || lParam < 0 || lParam >= ROW_COUNT) return verdict;
    verdict.bValid = true;
    verdict.nRow = static_cast<int>(lParam);
    verdict.bOk = (wParam & 0xFFFF) != 0;
    return verdict;
}
