#pragma once
// Reading one block of a drive the way every engine that reads drives
// does: a failed read is tried again at once, a block is given up after
// more than 10 counted reads, and in the unstable-media mode a 4096-byte
// block is accepted only when N consecutive reads return the same data.
// The reader logs its warnings and its give-up line, each with an optional
// prefix (the drive's display name and " - " when several drives run).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/device/device.h"

class CDriveBlockReader {
public:
    static constexpr uint32_t UNSTABLE_BLOCK = 4096;

    enum class EResult {
        Read,         // nGot bytes (> 0) are in the block
        EndOfMedium,  // the read succeeded with 0 bytes: the medium ended
        GaveUp,       // the retries are used up; "disk read retry out." is logged
        Stopped,      // fnStop said so between two reads; nothing is logged
    };

    // nAgreement: reads that must agree (0 when the unstable-media mode is
    // off). fnStop is asked after every read that did not settle the block.
    CDriveBlockReader(IDevice& drive, int nAgreement, std::string strPrefix, std::function<bool()> fnStop);
    virtual ~CDriveBlockReader();
    CDriveBlockReader(const CDriveBlockReader&) = delete;
    CDriveBlockReader& operator=(const CDriveBlockReader&) = delete;

    // The length to ask for with nRemain bytes left and blocks of nBlockSize.
    uint32_t RequestLength(uint64_t nRemain, uint64_t nBlockSize) const;
    // Reads nRequest bytes at nPos into pBlock.
    EResult Read(uint8_t* pBlock, uint64_t nPos, uint32_t nRequest, uint32_t& nGot);
    // The system error code of the last failed read.
    uint32_t LastError() const { return m_dwError; }

private:
    bool Agree(const uint8_t* pBlock, uint32_t nGot, uint64_t nPos);

    IDevice& m_drive;
    const int m_nAgreement;
    const std::string m_strPrefix;
    const std::function<bool()> m_fnStop;
    std::unique_ptr<uint8_t[]> m_pReference;  // the read later reads must agree with
    uint32_t m_nReferenceLength = 0;
    int m_nAgree = 0;  // consecutive reads equal to the reference so far
    uint32_t m_dwError = 0;
};
