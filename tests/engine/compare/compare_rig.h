#pragma once
// The compare engine's tests: the engine rig, drives that hold the image's
// data (or part of it, or more), and the image raw or compressed.
#include "engine/compare/compare_disk_image.h"
#include "tests/engine/engine_rig.h"

namespace engine_test {

class CompareTest : public EngineRig {
public:
    // Drives 0..nDrives-1 compared with the image by the rig's engine.
    T_ENGINE_RESULT Compare(int nDrives) { return m_engine.Run(Job(nDrives)); }
    // Log lines of one style.
    size_t CountStyled(uint16_t nStyle)
    {
        const auto lines = m_recorder.LogLines();
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const T_LOG_LINE& line) {
            return line.dwWord == ComposeLogWord(nStyle);
        }));
    }
    std::vector<uint32_t> ProgressCodes()
    {
        std::vector<uint32_t> codes;
        for (const T_NOTIFY_MSG& msg : m_recorder.Messages()) {
            if (msg.uMsg == WM_ENGINE_PROGRESS) codes.push_back(static_cast<uint32_t>(msg.wParam));
        }
        return codes;
    }

    CCompareDiskImage m_engine;
};

}  // namespace engine_test
