#pragma once
// How many pool blocks and how deep the queues of an erase run are.
//
// Per target, the pattern thread and the verify thread each hold at most
// their queue's capacity Q, one block in hand and one in the writer's hand;
// with write-differences-only the writer keeps one more to compare with.
// So a target never holds more than 2Q + 4 (+1) blocks, and when the pool
// has that many for every target no thread ever waits for a block that is
// held by a thread that waits itself: a verification pass always finds its
// blocks. The queues are made as deep as the job's blocks allow; when even
// queues of one do not fit, the pool grows to what they need.
#include <cstdint>

struct T_ERASE_PIPELINE {
    uint32_t nPoolBlocks = 0;     // at least the job's block count
    uint32_t nQueueCapacity = 0;  // of each of the two queues of every target; at least 1
};

// The blocks one target can hold at once with queues of nQueueCapacity.
uint32_t EraseBlocksPerTarget(uint32_t nQueueCapacity, bool bCompareBuffer);
T_ERASE_PIPELINE ChooseErasePipeline(uint32_t nJobBlocks, uint32_t nTargets, bool bCompareBuffer);
