#pragma once
// Writing one block to a drive the way every engine that writes drives
// does: a write that stores part of the block goes on with the rest; one
// that fails or stores nothing is a failed try, each logged as a warning,
// and the block is given up after 11 of them ("disk write retry out.").
// A file system with no room left (a file standing in for a drive) is not
// tried again. Lines carry the drive's display name in front.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/device/device.h"

class CDriveBlockWriter {
public:
    static constexpr int WRITE_ATTEMPTS = 11;

    enum class EResult {
        Written,  // the whole block is stored
        GaveUp,   // 11 failed tries; "disk write retry out." is logged
        NoRoom,   // the file system is full; logged once, not retried
        Stopped,  // fnStop said so before a try; nothing is logged
    };

    // fnStop is asked before every try.
    CDriveBlockWriter(IDevice& drive, std::string strName, std::function<bool()> fnStop);
    virtual ~CDriveBlockWriter() = default;
    CDriveBlockWriter(const CDriveBlockWriter&) = delete;
    CDriveBlockWriter& operator=(const CDriveBlockWriter&) = delete;

    EResult Write(const uint8_t* pData, uint64_t nPos, uint32_t nCount);
    // The system error code of the last failed write.
    uint32_t LastError() const { return m_dwError; }

private:
    IDevice& m_drive;
    const std::string m_strName;
    const std::function<bool()> m_fnStop;
    uint32_t m_dwError = 0;
};
