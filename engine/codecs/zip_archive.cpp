#include "engine/codecs/zip_archive.h"

#include <cctype>
#include <cstdio>
#include <new>

namespace {

// One read of the file; libarchive works in the buffer until the next read.
constexpr uint32_t READ_SIZE = 0x100000;

}  // namespace

CZipArchive::CZipArchive(IDevice& file, const T_ARCHIVE_ENTRY_POINTS& archive)
    : m_file(file), m_archive(archive), m_pBuffer(new (std::nothrow) uint8_t[READ_SIZE])
{
}

CZipArchive::~CZipArchive()
{
    if (m_pArchive) m_archive.archive_read_free(m_pArchive);
}

T_DECODE_RESULT CZipArchive::Open()
{
    m_pArchive = m_pBuffer ? m_archive.archive_read_new() : nullptr;
    if (!m_pArchive) return T_DECODE_RESULT{false, EDecodeFailure::NoMemory, 0, {}};
    m_archive.archive_read_support_format_zip_seekable(m_pArchive);
    m_archive.archive_read_set_read_callback(m_pArchive, ReadCallback);
    m_archive.archive_read_set_seek_callback(m_pArchive, SeekCallback);
    m_archive.archive_read_set_callback_data(m_pArchive, this);
    const int nResult = m_archive.archive_read_open1(m_pArchive);
    if (nResult == Archive::OK) return T_DECODE_RESULT{};
    return FailureOf(nResult, "its directory, at the end of the file, cannot be read");
}

T_DECODE_RESULT CZipArchive::Next(T_ZIP_MEMBER& member, bool& bEnd)
{
    T_ARCHIVE_ENTRY* pEntry = nullptr;
    const int nResult = m_archive.archive_read_next_header(m_pArchive, &pEntry);
    bEnd = nResult == Archive::END;
    if (bEnd) return T_DECODE_RESULT{};
    // WARN: a name that could not be converted, or values the local header
    // gives otherwise than the directory; the data are still checked by the
    // CRC-32 and sizes of the header they follow.
    if (nResult != Archive::OK && nResult != Archive::WARN) return FailureOf(nResult);
    const char* pszName = m_archive.archive_entry_pathname_utf8(pEntry);
    if (!pszName) pszName = m_archive.archive_entry_pathname(pEntry);
    const int64_t nSize = m_archive.archive_entry_size(pEntry);
    const unsigned nType = m_archive.archive_entry_filetype(pEntry) & Archive::IFMT;
    member = T_ZIP_MEMBER{pszName ? pszName : "", nSize > 0 ? static_cast<uint64_t>(nSize) : 0,
                          nType == Archive::IFDIR, nType == Archive::IFREG,
                          m_archive.archive_entry_is_data_encrypted(pEntry) == 1};
    return T_DECODE_RESULT{};
}

T_DECODE_RESULT CZipArchive::ReadData(void* pData, uint32_t nLength, uint32_t& nGot)
{
    nGot = 0;
    const ptrdiff_t nResult = m_archive.archive_read_data(m_pArchive, pData, nLength);
    if (nResult < 0) return FailureOf(nResult);
    nGot = static_cast<uint32_t>(nResult);
    return T_DECODE_RESULT{};
}

ptrdiff_t CZipArchive::ReadCallback(T_ARCHIVE*, void* pClient, const void** ppBuffer)
{
    auto& self = *static_cast<CZipArchive*>(pClient);
    const T_IO_RESULT read = self.m_file.ReadAt(self.m_nPosition, self.m_pBuffer.get(), READ_SIZE);
    if (!read.bOk) {
        self.m_nReadError = read.nError;
        return Archive::FATAL;
    }
    self.m_nPosition += read.nCount;
    *ppBuffer = self.m_pBuffer.get();
    return read.nCount;
}

int64_t CZipArchive::SeekCallback(T_ARCHIVE*, void* pClient, int64_t nOffset, int nWhence)
{
    auto& self = *static_cast<CZipArchive*>(pClient);
    int64_t nBase = 0;
    if (nWhence == SEEK_CUR) nBase = static_cast<int64_t>(self.m_nPosition);
    if (nWhence == SEEK_END) {
        uint64_t nLength = 0;
        if (!self.m_file.GetLengthInfo(nLength, self.m_nReadError)) return Archive::FATAL;
        nBase = static_cast<int64_t>(nLength);
    }
    if (nBase + nOffset < 0) return Archive::FATAL;
    self.m_nPosition = static_cast<uint64_t>(nBase + nOffset);
    return nBase + nOffset;
}

// A failed read of the file is the system's error; FAILED is a member
// libarchive cannot read (it says why), anything else damage.
T_DECODE_RESULT CZipArchive::FailureOf(int64_t nResult, const char* pszWhat) const
{
    if (m_nReadError != 0) return T_DECODE_RESULT{false, EDecodeFailure::FileRead, m_nReadError, {}};
    const char* pszError = m_archive.archive_error_string(m_pArchive);
    std::string strDetail = pszError ? pszError : "libarchive gave no reason";
    while (!strDetail.empty() && std::isspace(static_cast<unsigned char>(strDetail.back()))) strDetail.pop_back();
    if (*pszWhat) strDetail = std::string(pszWhat) + " (" + strDetail + ")";
    const EDecodeFailure eFailure = nResult == Archive::FAILED ? EDecodeFailure::Unsupported : EDecodeFailure::Damaged;
    return T_DECODE_RESULT{false, eFailure, 0, std::move(strDetail)};
}

T_DECODE_RESULT ListZipArchive(IDevice& file, const T_ARCHIVE_ENTRY_POINTS& archive,
                               std::vector<T_ZIP_MEMBER>& members)
{
    members.clear();
    CZipArchive zip(file, archive);
    T_DECODE_RESULT result = zip.Open();
    for (bool bEnd = false; result.bOk;) {
        T_ZIP_MEMBER member;
        result = zip.Next(member, bEnd);
        if (bEnd) break;
        if (result.bOk) members.push_back(std::move(member));
    }
    return result;
}
