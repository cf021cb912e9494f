#include "engine/erase/erase_pipeline_size.h"

#include <algorithm>

uint32_t EraseBlocksPerTarget(uint32_t nQueueCapacity, bool bCompareBuffer)
{
    return 2 * nQueueCapacity + 4 + (bCompareBuffer ? 1 : 0);
}

T_ERASE_PIPELINE ChooseErasePipeline(uint32_t nJobBlocks, uint32_t nTargets, bool bCompareBuffer)
{
    nTargets = std::max<uint32_t>(nTargets, 1);
    const uint32_t nFixed = EraseBlocksPerTarget(0, bCompareBuffer);
    const uint32_t nShare = nJobBlocks / nTargets;
    T_ERASE_PIPELINE pipeline;
    pipeline.nQueueCapacity = nShare > nFixed ? std::max<uint32_t>((nShare - nFixed) / 2, 1) : 1;
    pipeline.nPoolBlocks =
        std::max(nJobBlocks, nTargets * EraseBlocksPerTarget(pipeline.nQueueCapacity, bCompareBuffer));
    return pipeline;
}
