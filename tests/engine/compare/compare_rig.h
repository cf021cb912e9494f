#pragma once
// The compare engine's tests: the engine rig, drives that hold the image's
// data (or part of it, or more), and the image raw or compressed.
#include "engine/compare/compare_disk_image.h"
#include "tests/engine/engine_rig.h"
#include "tests/engine/zlib/zlib_test_support.h"

namespace engine_test {

// The data with the byte at each offset changed.
inline std::vector<uint8_t> Changed(std::vector<uint8_t> data, const std::vector<uint64_t>& offsets)
{
    for (uint64_t nOffset : offsets) data[nOffset] ^= 0x5A;
    return data;
}

class CompareTest : public EngineRig {
public:
    // Drives 0..nDrives-1 compared with the image by the rig's engine.
    T_ENGINE_RESULT Compare(int nDrives) { return m_engine.Run(Job(nDrives)); }
    // A compressed image of these data, and the option that goes with it.
    void CompressedImage(const std::vector<uint8_t>& data)
    {
        AddImage(CompressToMemory(data));
        m_options.bCompressImage = true;
    }
    // Starts the next case of a table: no lines, no drives.
    void NextCase()
    {
        m_recorder.Clear();
        m_drives.clear();
    }
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
