// The image writer's compressed image: one gzip member of the drive's
// bytes, written strictly in order. The member is finished with the block
// that brings the remaining length to 0, or on the end-of-data item when
// the drive ended early; a drive of 0 bytes gives an empty file.
#include "engine/core/debug_trace.h"
#include "engine/core/log.h"
#include "engine/read/disk_to_image.h"
#include "engine/zlib/zlib_failure.h"

bool CDiskToImage::WriteCompressedBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, bool bLast)
{
    const CZLIBIO::T_RESULT res = m_zlib.WriteCompressFile(pData, nCount);
    if (!res.bOk) {
        DebugTrace("WriteCompressFile() ERROR\n");
        m_writer.dwError = res.nError;
        LogError("file compress write error (%08I64X-%08I64X).\n%s\n", nPos, nPos + nCount - 1, ZlibFailureText(res));
        return false;
    }
    return !bLast || CommitCompressed();
}

bool CDiskToImage::CommitCompressed()
{
    const CZLIBIO::T_RESULT res = m_zlib.CommitWrite();
    if (res.bOk) return true;
    m_writer.dwError = res.nError;
    LogError("file compress write error (commit).\n%s\n", ZlibFailureText(res));
    return false;
}
