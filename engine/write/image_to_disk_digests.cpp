// The image's own digests, when the job asks for them: the file's, from a
// tap on the image file that takes its bytes as the reader reads them in
// order (raw or compressed alike), and a compressed image's data's, on a
// digest stage that takes every block the reader hands out, as a writer
// does. What the targets did not get but the image holds (a raw image's
// bytes past the written length, a compressed image's zero tail) is added,
// so that each digest covers the whole image or is not given.
#include <vector>

#include "engine/write/image_to_disk.h"

namespace {

constexpr uint8_t ZEROS[4096] = {};

}  // namespace

// Every run starts without digests; the tap and the data's digest are made
// for a job that asks.
void CImageToDisk::PrepareImageDigests()
{
    m_pFileDigests.reset();
    m_pDataDigest.reset();
    m_pDigestQueue = nullptr;
    m_bDigestInLine = m_bDataWhole = false;
    m_imageDigests = T_IMAGE_DIGESTS{};
    m_imageTail = T_IMAGE_TAIL{};
    m_nImageFileSize = 0;
    if (!m_job.imageDigests) return;
    m_pFileDigests = std::make_unique<CFileDigestDevices>(m_run.Devices(), std::vector{*m_job.imageDigests});
    if (!IsCompressedFormat(ImageFormatOf(m_job.options))) return;
    m_pDataDigest = std::make_unique<CDigest>(*m_job.imageDigests);
    m_pDigestQueue = m_run.NewQueue(std::max(m_job.nBlocks, MIN_POOL_BLOCKS));
}

// Where the image opens: through the tap when its digest is asked for.
IDeviceProvider& CImageToDisk::ImageDevices()
{
    return m_pFileDigests ? *m_pFileDigests : m_run.Devices();
}

// Before the reader starts: a reader that found no stage there would have
// queued blocks nobody takes.
void CImageToDisk::StartDataDigest()
{
    if (!m_pDataDigest) return;
    m_bDigestInLine = !m_run.TryStartStage([this] { DataDigestStage(); }).bStarted;
}

// One reference of the block for the data's digest.
void CImageToDisk::FeedDataDigest(uint8_t* pBlock, uint32_t nGot)
{
    if (!m_pDataDigest || nGot == 0) return;
    if (m_bDigestInLine) {
        m_pDataDigest->Update(pBlock, nGot);
        return;
    }
    m_pBuffer->AddRef(pBlock);
    if (!m_pDigestQueue->Put(pBlock, nGot)) m_pBuffer->Free(pBlock);  // the run stopped
}

// The reader has ended: the end item (a null block whose count is the zero
// tail) goes to the stage. Always sent, so the stage never waits on.
void CImageToDisk::EndDataDigest(bool bWhole, uint64_t nZeroTail)
{
    if (!m_pDataDigest) return;
    m_bDataWhole = bWhole;
    if (m_bDigestInLine) FinishDataDigest(nZeroTail);
    else m_pDigestQueue->Put(nullptr, nZeroTail);
}

void CImageToDisk::DataDigestStage()
{
    for (;;) {
        uint8_t* pData = nullptr;
        uint64_t nCount = 0;
        if (!m_pDigestQueue->Get(pData, nCount)) return;  // the run stopped
        if (!pData) {
            FinishDataDigest(nCount);
            return;
        }
        m_pDataDigest->Update(pData, static_cast<size_t>(nCount));
        m_pBuffer->Free(pData);
    }
}

void CImageToDisk::FinishDataDigest(uint64_t nZeroTail)
{
    for (uint64_t nLeft = nZeroTail; nLeft > 0;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(nLeft, sizeof ZEROS));
        m_pDataDigest->Update(ZEROS, n);
        nLeft -= n;
    }
    m_imageDigests.data = m_pDataDigest->Final();
    m_imageDigests.bData = m_bDataWhole && m_pDataDigest->IsValid();
}

// A raw image longer than the length written: the rest of its bytes are
// read, in order, for the file's digest. (A compressed image has been read
// to its end already.)
void CImageToDisk::ReadRestForFileDigest()
{
    if (!m_pFileDigests || IsCompressedFormat(ImageFormatOf(m_job.options)) || m_nTotal >= m_nImageFileSize) return;
    uint8_t* pBlock = m_pBuffer->Alloc();
    if (!pBlock) return;
    uint32_t nGot = 0;
    do {
        if (!m_image.ReadBlock(pBlock, static_cast<uint32_t>(BLOCK_SIZE), nGot, m_run.StopFlag())) break;
    } while (nGot > 0);
    m_pBuffer->Free(pBlock);
}

// Once the image is closed.
void CImageToDisk::FinishFileDigest()
{
    if (!m_pFileDigests || !m_bReaderResult) return;
    m_imageDigests.bFile = m_pFileDigests->Digest(*m_job.imageDigests, m_nImageFileSize, m_imageDigests.file);
}
