#include "engine/blockio/drive_block_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/system_error.h"

namespace {
constexpr int RETRY_LIMIT = 10;  // a block is given up after more than 10 counted reads
}

CDriveBlockReader::CDriveBlockReader(IDevice& drive, int nAgreement, std::string strPrefix,
                                     std::function<bool()> fnStop)
    : m_drive(drive), m_nAgreement(nAgreement), m_strPrefix(std::move(strPrefix)), m_fnStop(std::move(fnStop))
{
    if (m_nAgreement > 0) m_pReference = std::make_unique<uint8_t[]>(UNSTABLE_BLOCK);
}

CDriveBlockReader::~CDriveBlockReader() = default;

uint32_t CDriveBlockReader::RequestLength(uint64_t nRemain, uint64_t nBlockSize) const
{
    return static_cast<uint32_t>(std::min(nRemain, m_nAgreement > 0 ? uint64_t{UNSTABLE_BLOCK} : nBlockSize));
}

// A read that leaves the loop (the medium ended, or the block settled) is
// not counted. In the unstable-media mode a block whose agreement came
// only after more than 10 counted reads is given up as well.
CDriveBlockReader::EResult CDriveBlockReader::Read(uint8_t* pBlock, uint64_t nPos, uint32_t nRequest, uint32_t& nGot)
{
    int nAttempts = 0;
    m_nAgree = 0;
    nGot = 0;
    for (;;) {
        // Without a block there is nothing to read into: the attempt fails.
        const T_IO_RESULT res =
            pBlock ? m_drive.ReadAt(nPos, pBlock, nRequest) : T_IO_RESULT{false, 0, SystemError::NoMemory()};
        if (res.bOk && res.nCount == 0) return EResult::EndOfMedium;
        if (res.bOk) {
            nGot = res.nCount;
            if (m_nAgreement == 0 || Agree(pBlock, nGot, nPos)) break;
        } else {
            m_dwError = res.nError;
            LogWarning("%sdisk read error (%08I64X-%08I64X).\n%s\n", m_strPrefix, nPos, nPos + nRequest - 1,
                       GetSystemErrorText(res.nError));
            m_nAgree = 0;
        }
        if (m_fnStop()) return EResult::Stopped;
        if (++nAttempts > m_nAgreement + RETRY_LIMIT) break;
    }
    if (nAttempts <= RETRY_LIMIT) return EResult::Read;
    LogError("%sdisk read retry out.\n", m_strPrefix);
    return EResult::GaveUp;
}

// One more read of a block in the unstable-media mode: true once the last
// m_nAgreement reads returned identical data.
bool CDriveBlockReader::Agree(const uint8_t* pBlock, uint32_t nGot, uint64_t nPos)
{
    if (m_nAgree == 0) {
        std::memcpy(m_pReference.get(), pBlock, nGot);
        m_nReferenceLength = nGot;
        m_nAgree = 1;
    } else if (nGot != m_nReferenceLength || std::memcmp(m_pReference.get(), pBlock, nGot) != 0) {
        LogWarning("%sdisk read unstable (%08I64X-%08I64X).\n", m_strPrefix, nPos, nPos + nGot - 1);
        m_nAgree = 0;
    } else {
        ++m_nAgree;
    }
    return m_nAgree >= m_nAgreement;
}
