#include "engine/zlib/image_file_reader.h"

#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/zlib/zlib_failure.h"

namespace {
constexpr int READ_ATTEMPTS = 11;
}

CImageFileReader::~CImageFileReader()
{
    Close();
}

bool CImageFileReader::Open(IDeviceProvider& devices, const std::string& strPath, bool bCompressed)
{
    Close();
    m_strPath = strPath;
    m_bCompressed = bCompressed;
    m_nPosition = 0;
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
    if (m_bCompressed) {
        m_bPipelined = m_inflate.Start(*m_hImage, m_zlib.EntryPoints());
        if (!m_bPipelined) m_zlib.InitRead(*m_hImage);
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
    const bool bRead = m_bCompressed ? ReadCompressed(pBlock, nLength, nGot) : ReadRaw(pBlock, nLength, nGot, bAbort);
    if (bRead) m_nPosition += nGot;
    return bRead;
}

bool CImageFileReader::ReadRaw(uint8_t* pBlock, uint32_t nLength, uint32_t& nGot, const std::atomic<bool>& bAbort)
{
    for (int nAttempt = 0; nAttempt < READ_ATTEMPTS && !bAbort; ++nAttempt) {
        const T_IO_RESULT res = m_hImage->ReadAt(m_nPosition, pBlock, nLength);
        if (res.bOk) {
            nGot = res.nCount;
            return true;
        }
        m_dwError = res.nError;
        LogWarning("file read error (%08I64X-%08I64X).\n%s\n", m_nPosition, m_nPosition + nLength - 1,
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
    LogError("file compress read error (%08I64X-%08I64X).\n%s\n", m_nPosition, m_nPosition + nLength - 1,
             ZlibFailureText(res));
    return false;
}

void CImageFileReader::Close()
{
    m_inflate.Stop();
    m_bPipelined = false;
    m_zlib.Release();
    m_hImage.reset();
}
