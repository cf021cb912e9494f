// Ending a parallel member early, after a write of the file failed: every
// piece but the last ends on a byte boundary without a final block, so the
// member can end behind any piece that is wholly in the file with an empty
// final block and the trailer of the data in front of it.
#include "engine/zlib/parallel_deflate.h"

#include <cstring>

#include "engine/zlib/gzip_member.h"
#include "engine/zlib/zlib_binding.h"

namespace {
// A stored block that is final and empty: BFINAL 1, BTYPE 00, LEN 0, NLEN.
constexpr uint8_t EMPTY_FINAL_BLOCK[5] = {0x01, 0x00, 0x00, 0xFF, 0xFF};
// How far in front of the file's end piece ends are kept: cutting back that
// far frees whole blocks of any file system.
constexpr uint64_t KEEP_BEHIND = 0x40000;
}  // namespace

// Called with the output just behind the header or a piece. Ends that lie
// far enough in front of the file's end are dropped, all but the latest.
void CParallelDeflate::NotePieceEnd()
{
    m_arrEnds.push_back(T_PIECE_END{m_nFileBytes + m_nOutput, m_nDataBytes, m_nCrc});
    while (m_arrEnds.size() > 1 && m_arrEnds[1].nFileEnd + KEEP_BEHIND <= m_nFileBytes) m_arrEnds.pop_front();
}

CParallelDeflate::T_RESULT CParallelDeflate::CommitWritten()
{
    if (!m_pFile || m_eState == EState::Finished || m_eState == EState::Idle) return Fail(Z_STREAM_ERROR);
    for (auto it = m_arrEnds.rbegin(); it != m_arrEnds.rend(); ++it) {
        if (it->nFileEnd > m_nFileBytes) continue;  // still in the output, or only partly written
        if (!EndAt(it->nFileEnd, it->nCrc, it->nDataBytes)) continue;
        m_nDataBytes = it->nDataBytes;
        m_nCrc = it->nCrc;
        m_nFileBytes = it->nFileEnd + sizeof EMPTY_FINAL_BLOCK + GZIP_TRAILER_SIZE;
        m_nOutput = 0;
        m_eState = EState::Finished;
        return Ok();
    }
    return Fail(Z_ERRNO);
}

// Cuts the file at nFileEnd and writes the empty final block and the
// trailer there; false when the cut or the write fails.
bool CParallelDeflate::EndAt(uint64_t nFileEnd, uint32_t nCrc, uint64_t nDataBytes)
{
    uint8_t tail[sizeof EMPTY_FINAL_BLOCK + GZIP_TRAILER_SIZE];
    std::memcpy(tail, EMPTY_FINAL_BLOCK, sizeof EMPTY_FINAL_BLOCK);
    uint8_t trailer[GZIP_TRAILER_SIZE];
    PutGzipTrailer(nCrc, nDataBytes, trailer);
    std::memcpy(tail + sizeof EMPTY_FINAL_BLOCK, trailer, GZIP_TRAILER_SIZE);
    uint32_t nError = 0;
    if (!m_pFile->SetLength(nFileEnd, nError)) return false;
    uint32_t nDone = 0;
    while (nDone < sizeof tail) {
        const T_IO_RESULT io = m_pFile->WriteAt(nFileEnd + nDone, tail + nDone, sizeof tail - nDone);
        if (!io.bOk || io.nCount == 0) return false;
        nDone += io.nCount;
    }
    return true;
}
