// zip images: the archive's one image file (zip_member_choice.h), its data
// read in order through libarchive (zip_archive.h). The directory is read
// twice: once to choose the file, once to reach it; a file that is then no
// longer where the first reading put it has changed meanwhile and is not
// read.
#include "engine/codecs/codec_decoders.h"
#include "engine/codecs/zip_archive.h"

namespace {

T_DECODE_RESULT Damaged(const char* pszDetail)
{
    return T_DECODE_RESULT{false, EDecodeFailure::Damaged, 0, pszDetail};
}

class CZipDecoder final : public IImageDecoder {
public:
    CZipDecoder(IDevice& file, const T_ARCHIVE_ENTRY_POINTS& archive)
        : m_file(file), m_entry(archive), m_archive(file, archive)
    {
    }

    T_DECODE_RESULT Start()
    {
        std::vector<T_ZIP_MEMBER> members;
        T_DECODE_RESULT result = ListZipArchive(m_file, m_entry, members);
        if (!result.bOk) return result;
        const std::optional<size_t> nImage = ChooseZipImage(members);
        if (!nImage) return Damaged("the archive does not hold one image file");
        result = m_archive.Open();
        T_ZIP_MEMBER member;
        bool bEnd = false;
        for (size_t i = 0; i <= *nImage && result.bOk && !bEnd; ++i) result = m_archive.Next(member, bEnd);
        if (result.bOk && (bEnd || member.strName != members[*nImage].strName))
            return Damaged("the archive changed while it was read");
        return result;
    }

    T_DECODE_RESULT Read(void* pBlock, uint32_t nLength, uint32_t& nProduced) override
    {
        nProduced = 0;
        if (m_eState == EState::Failed) return T_DECODE_RESULT{false, EDecodeFailure::Unusable, 0, {}};
        if (m_eState == EState::Finished) return T_DECODE_RESULT{};
        m_eState = EState::Reading;
        const T_DECODE_RESULT result = m_archive.ReadData(pBlock, nLength, nProduced);
        if (!result.bOk) {
            m_eState = EState::Failed;
        } else if (nProduced < nLength) {
            m_eState = EState::Finished;
            uint32_t nError = 0;
            if (!m_file.GetLengthInfo(m_nFileBytes, nError)) m_nFileBytes = m_archive.Position();
        }
        return result;
    }

    // The file offset the member's data have been read to; the whole file
    // once they have ended (the rest is the directory and the side files).
    uint64_t CompressedBytes() const override
    {
        switch (m_eState) {
        case EState::Open: return 0;
        case EState::Finished: return m_nFileBytes;
        default: return m_archive.Position();
        }
    }

private:
    enum class EState { Open, Reading, Finished, Failed };

    IDevice& m_file;
    const T_ARCHIVE_ENTRY_POINTS& m_entry;
    CZipArchive m_archive;
    EState m_eState = EState::Open;
    uint64_t m_nFileBytes = 0;
};

}  // namespace

std::unique_ptr<IImageDecoder> MakeZipDecoder(IDevice& file, const T_ARCHIVE_ENTRY_POINTS& archive,
                                              T_DECODE_RESULT& failure)
{
    auto pDecoder = std::make_unique<CZipDecoder>(file, archive);
    failure = pDecoder->Start();
    if (!failure.bOk) return nullptr;
    return pDecoder;
}
