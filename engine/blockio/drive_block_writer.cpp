#include "engine/blockio/drive_block_writer.h"

#include <algorithm>

#include "engine/core/log.h"
#include "engine/core/system_error.h"

CDriveBlockWriter::CDriveBlockWriter(IDevice& drive, std::string strName, std::function<bool()> fnStop)
    : m_drive(drive), m_strName(std::move(strName)), m_fnStop(std::move(fnStop))
{
}

CDriveBlockWriter::EResult CDriveBlockWriter::Write(const uint8_t* pData, uint64_t nPos, uint32_t nCount)
{
    uint32_t nDone = 0;
    int nFailed = 0;
    while (nDone < nCount) {
        if (m_fnStop()) return EResult::Stopped;
        const T_IO_RESULT res = m_drive.WriteAt(nPos + nDone, pData + nDone, nCount - nDone);
        if (res.bOk && res.nCount > 0) {
            nDone += std::min(res.nCount, nCount - nDone);
            continue;
        }
        if (res.bOk) {
            LogWarning("%s - write count mismatch %08X:%08X.\n", m_strName, nCount - nDone, res.nCount);
        } else {
            m_dwError = res.nError;
            const std::string strReason = GetSystemErrorText(res.nError);
            if (SystemError::IsNoRoom(res.nError)) {
                LogError("%s - no room left to write (%08I64X-%08I64X).\n%s\n", m_strName, nPos + nDone,
                         nPos + nCount - 1, strReason);
                return EResult::NoRoom;
            }
            LogWarning("%s - disk write error (%08I64X-%08I64X).\n%s\n", m_strName, nPos + nDone, nPos + nCount - 1,
                       strReason);
        }
        if (++nFailed >= WRITE_ATTEMPTS) {
            LogError("%s - disk write retry out.\n", m_strName);
            return EResult::GaveUp;
        }
    }
    return EResult::Written;
}
