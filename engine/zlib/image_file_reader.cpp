#include "engine/zlib/image_file_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/zlib/zlib_failure.h"

namespace {

constexpr int READ_ATTEMPTS = 11;
constexpr uint32_t TAIL_BLOCK = 0x100000;

bool AllZero(const uint8_t* p, uint32_t n)
{
    return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0);
}

}  // namespace

CImageFileReader::~CImageFileReader()
{
    Close();
}

bool CImageFileReader::Open(IDeviceProvider& devices, const std::string& strPath, EImageFormat eFormat)
{
    Close();
    m_strPath = strPath;
    m_eFormat = eFormat;
    m_nPosition = 0;
    m_nDecodedFileBytes = 0;
    m_dwError = 0;
    m_hImage = devices.Open(strPath, EOpenMode::ReadImage, m_dwError);
    if (!m_hImage) {
        LogError("can't open file %s.\n%s\n", strPath, GetSystemErrorText(m_dwError));
        return false;
    }
    const EDeviceKind eKind = m_hImage->GetKind();
    if (eKind != EDeviceKind::RegularFile) {
        LogError("can't open file %s.\nit is %s, not a regular file.\n", strPath, DeviceKindText(eKind));
        m_hImage.reset();
        return false;
    }
    // A stream that cannot start fails on its first block, with the
    // block's range in the line, like any other inflate failure.
    if (m_eFormat == EImageFormat::Gzip) {
        m_bPipelined = m_inflate.Start(*m_hImage, m_zlib.EntryPoints());
        if (!m_bPipelined) m_zlib.InitRead(*m_hImage);
    } else if (IsCompressedFormat(m_eFormat)) {
        m_pDecoder = OpenImageDecoder(m_eFormat, *m_hImage, m_startFailure);
    }
    return true;
}

bool CImageFileReader::GetFileSize(uint64_t& nSize)
{
    if (m_hImage && m_hImage->GetLengthInfo(nSize, m_dwError)) return true;
    LogError("GetFileSizeEx() failed.\n%s\n", GetSystemErrorText(m_dwError));
    return false;
}

bool CImageFileReader::ReadBlock(uint8_t* pBlock, uint32_t nLength, uint32_t& nGot, const std::atomic<bool>& bAbort)
{
    nGot = 0;
    bool bRead = false;
    if (m_eFormat == EImageFormat::Gzip) bRead = ReadCompressed(pBlock, nLength, nGot);
    else if (IsCompressedFormat(m_eFormat)) bRead = ReadDecoded(pBlock, nLength, nGot);
    else bRead = ReadRaw(m_nPosition, pBlock, nLength, nGot, bAbort);
    if (bRead) m_nPosition += nGot;
    return bRead;
}

bool CImageFileReader::ReadRaw(uint64_t nPos, uint8_t* pBlock, uint32_t nLength, uint32_t& nGot,
                               const std::atomic<bool>& bAbort)
{
    for (int nAttempt = 0; nAttempt < READ_ATTEMPTS && !bAbort; ++nAttempt) {
        const T_IO_RESULT res = m_hImage->ReadAt(nPos, pBlock, nLength);
        if (res.bOk) {
            nGot = res.nCount;
            return true;
        }
        m_dwError = res.nError;
        LogWarning("file read error (%08I64X-%08I64X).\n%s\n", nPos, nPos + nLength - 1,
                   GetSystemErrorText(res.nError));
    }
    if (!bAbort) LogError("file read retry out.\n");
    return false;
}

bool CImageFileReader::ReadCompressed(uint8_t* pBlock, uint32_t nLength, uint32_t& nGot)
{
    const CZLIBIO::T_RESULT res =
        m_bPipelined ? m_inflate.Read(pBlock, nLength, nGot) : m_zlib.ReadCompressFile(pBlock, nLength, nGot);
    if (res.bOk) return true;
    // Damaged data have no system error of their own; the reader's error
    // code still says that the image could not be read.
    m_dwError = res.nError != 0 ? res.nError : SystemError::IoError();
    LogReadFailure(nLength, ZlibFailureText(res));
    return false;
}

bool CImageFileReader::ReadDecoded(uint8_t* pBlock, uint32_t nLength, uint32_t& nGot)
{
    const T_DECODE_RESULT res = m_pDecoder ? m_pDecoder->Read(pBlock, nLength, nGot) : m_startFailure;
    if (res.bOk) return true;
    m_dwError = res.nError != 0 ? res.nError : SystemError::IoError();
    LogReadFailure(nLength, DecodeFailureText(m_eFormat, res));
    return false;
}

void CImageFileReader::LogReadFailure(uint32_t nLength, const std::string& strReason)
{
    LogError("file compress read error (%08I64X-%08I64X).\n%s\n", m_nPosition, m_nPosition + nLength - 1, strReason);
}

uint64_t CImageFileReader::FileBytes() const
{
    if (m_eFormat == EImageFormat::Gzip) return m_zlib.CompressedBytes();
    if (IsCompressedFormat(m_eFormat)) return m_pDecoder ? m_pDecoder->CompressedBytes() : m_nDecodedFileBytes;
    return m_nPosition;
}

bool CImageFileReader::ReadTail(uint64_t nFrom, T_IMAGE_TAIL& tail, const std::atomic<bool>& bAbort)
{
    tail = T_IMAGE_TAIL{};
    if (!m_hImage) return false;
    std::vector<uint8_t> buffer(TAIL_BLOCK);
    return IsCompressedFormat(m_eFormat) ? InflateTail(nFrom, buffer, tail, bAbort)
                                         : ScanRawTail(nFrom, buffer, tail, bAbort);
}

// A raw image's length is its file's: once a byte is not zero, nothing
// more is to be learned. A file that shrank meanwhile ends where it ends.
bool CImageFileReader::ScanRawTail(uint64_t nFrom, std::vector<uint8_t>& buffer, T_IMAGE_TAIL& tail,
                                   const std::atomic<bool>& bAbort)
{
    uint64_t nSize = 0;
    if (!GetFileSize(nSize)) return false;
    tail.nBytes = nSize > nFrom ? nSize - nFrom : 0;
    for (uint64_t nPos = nFrom; tail.bAllZero && nPos < nSize;) {
        if (bAbort) return false;
        const auto nLength = static_cast<uint32_t>(std::min<uint64_t>(buffer.size(), nSize - nPos));
        uint32_t nGot = 0;
        if (!ReadRaw(nPos, buffer.data(), nLength, nGot, bAbort)) return false;
        if (nGot == 0) {
            tail.nBytes = nPos - nFrom;
            break;
        }
        tail.bAllZero = AllZero(buffer.data(), nGot);
        nPos += nGot;
    }
    return true;
}

// A compressed image's length shows only by decoding it, and its checks
// only at the stream's end: it is read all the way, however far that is.
bool CImageFileReader::InflateTail(uint64_t nFrom, std::vector<uint8_t>& buffer, T_IMAGE_TAIL& tail,
                                   const std::atomic<bool>& bAbort)
{
    for (;;) {
        if (bAbort) return false;
        const uint64_t nPos = m_nPosition;
        uint32_t nGot = 0;
        if (!ReadBlock(buffer.data(), static_cast<uint32_t>(buffer.size()), nGot, bAbort)) return false;
        if (nGot == 0) return true;
        const auto nSkip = static_cast<uint32_t>(std::min<uint64_t>(nFrom > nPos ? nFrom - nPos : 0, nGot));
        if (tail.nBytes == 0 && nGot > nSkip) {
            LogInfo("the image's data go on past %I64u bytes; they are read to the end of the image to check it.\n",
                    nFrom);
        }
        tail.nBytes += nGot - nSkip;
        tail.bAllZero = tail.bAllZero && AllZero(buffer.data() + nSkip, nGot - nSkip);
    }
}

void CImageFileReader::Close()
{
    m_inflate.Stop();
    m_bPipelined = false;
    m_zlib.Release();
    if (m_pDecoder) m_nDecodedFileBytes = m_pDecoder->CompressedBytes();
    m_pDecoder.reset();  // before the file it reads
    m_startFailure = T_DECODE_RESULT{};
    m_hImage.reset();
}
