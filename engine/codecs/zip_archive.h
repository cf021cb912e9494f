#pragma once
// A zip archive read through libarchive's seekable zip reader, over an
// image file opened through the device port: the reader's read and seek
// callbacks are ReadAt calls at a position of ours. Opening reads the
// central directory at the file's end; the members then come in the order
// of the file, and one member's data are read in order, decompressed, with
// nothing unpacked to disk. libarchive checks each member's CRC-32 and
// sizes when its data end, so a damaged member fails its last read at the
// latest, never ends early as a good one.
#include <memory>
#include <vector>

#include "engine/codecs/codec_entry_points.h"
#include "engine/codecs/image_decoder.h"
#include "engine/codecs/zip_member_choice.h"

class CZipArchive {
public:
    // The file must stay open while the archive lives.
    CZipArchive(IDevice& file, const T_ARCHIVE_ENTRY_POINTS& archive);
    ~CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // Reads the central directory. A file that is no zip archive, or whose
    // directory is cut off or damaged, fails here (Damaged).
    T_DECODE_RESULT Open();
    // The next member; bEnd when there is none.
    T_DECODE_RESULT Next(T_ZIP_MEMBER& member, bool& bEnd);
    // Up to nLength bytes of the member's data: fewer only at its end, once
    // its CRC-32 and sizes have been checked. A member that cannot be read
    // here (encrypted, compressed by a method this libarchive lacks) fails
    // as Unsupported, a damaged one as Damaged.
    T_DECODE_RESULT ReadData(void* pData, uint32_t nLength, uint32_t& nGot);
    // The file offset the reads have reached.
    uint64_t Position() const { return m_nPosition; }

private:
    static ptrdiff_t ReadCallback(T_ARCHIVE* pArchive, void* pClient, const void** ppBuffer);
    static int64_t SeekCallback(T_ARCHIVE* pArchive, void* pClient, int64_t nOffset, int nWhence);
    // pszWhat: what failed, in front of libarchive's reason.
    T_DECODE_RESULT FailureOf(int64_t nResult, const char* pszWhat = "") const;

    IDevice& m_file;
    const T_ARCHIVE_ENTRY_POINTS& m_archive;
    T_ARCHIVE* m_pArchive = nullptr;
    std::unique_ptr<uint8_t[]> m_pBuffer;
    uint64_t m_nPosition = 0;
    uint32_t m_nReadError = 0;  // the system error of a failed read or length request
};

// Every member of the archive in file, as its directory lists them.
T_DECODE_RESULT ListZipArchive(IDevice& file, const T_ARCHIVE_ENTRY_POINTS& archive,
                               std::vector<T_ZIP_MEMBER>& members);
