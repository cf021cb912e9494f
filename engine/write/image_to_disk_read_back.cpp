// The MD5 check of a written target: its written range is read back from
// offset 0 into the writer's own block, 11 tries per unit, and the digest
// is compared with the image's once the reader has finished that. The
// outcome shows only in bMd5Match: the write itself has already succeeded.
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/tick.h"
#include "engine/stage/drive_block_reader.h"
#include "engine/write/image_to_disk.h"

void CImageToDisk::ReadBack(int nSlot, uint64_t nLength)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    T_MD5_DIGEST digest{};
    if (!ReadBackDigest(nSlot, nLength, digest) || !WaitForReader()) return;
    t.bMd5Match = m_bImageMd5Valid && digest == m_ImageMd5;
    LogInfo("%s MD5SUM=%s\n", m_strName[nSlot], Md5Text(digest));
}

// The digest of the target's first nLength bytes. False, with the cause
// logged, when a unit stays unreadable, the drive ends early or the digest
// cannot be computed; false without a line when the run stops.
bool CImageToDisk::ReadBackDigest(int nSlot, uint64_t nLength, T_MD5_DIGEST& digest)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    const std::string& strName = m_strName[nSlot];
    t.nMd5Remain = nLength;
    t.bMd5Phase = true;
    const uint32_t dwStart = GetTickCountMs();
    CDriveBlockReader drive(*t.hDisk, 0, strName + " - ", [this] { return m_bAbort.load(); });
    CMd5 md5;
    uint64_t nPos = 0;
    while (nPos < nLength) {
        if (m_bAbort) return false;
        uint32_t nGot = 0;
        const uint32_t nRequest = drive.RequestLength(nLength - nPos, m_nBlockSize);
        const CDriveBlockReader::EResult eRead = drive.Read(t.pOwnBlock, nPos, nRequest, nGot);
        if (eRead == CDriveBlockReader::EResult::EndOfMedium) {
            LogWarning("%s - the drive ended at %I64u bytes, before the %I64u bytes written.\n", strName, nPos,
                       nLength);
            return false;
        }
        if (eRead != CDriveBlockReader::EResult::Read) {
            t.dwError = drive.LastError();
            return false;
        }
        md5.Update(t.pOwnBlock, nGot);
        nPos += nGot;
        t.nMd5Remain = nLength - nPos;
        t.dSpeed = StageSpeed(t.dSpeed, nPos, dwStart, GetTickCountMs());
    }
    digest = md5.Final();
    if (md5.IsValid()) return true;
    LogError("%s - the MD5 digest could not be computed.\n", strName);
    return false;
}
