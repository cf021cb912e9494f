// Writing and reading the .md5sum file beside an image.
#include "engine/checksum/md5sum_file.h"

#include <filesystem>
#include <memory>
#include <utility>

#include "engine/checksum/digest_file.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"

namespace {

// Windows takes both separators in a path; elsewhere a backslash is part
// of a name.
constexpr const char* SEPARATORS = std::filesystem::path::preferred_separator == '\\' ? "\\/" : "/";
constexpr size_t DIGEST_DIGITS = 32;

bool NeedsEscape(const std::string& strName)
{
    return strName.find_first_of("\r\n") != std::string::npos;
}

std::string Escaped(const std::string& strName)
{
    std::string strOut;
    for (char c : strName) {
        switch (c) {
        case '\\': strOut += "\\\\"; break;
        case '\n': strOut += "\\n"; break;
        case '\r': strOut += "\\r"; break;
        default: strOut += c; break;
        }
    }
    return strOut;
}

bool EndsDigest(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Every byte of the text, however the device splits the writes. A write
// that stores nothing and reports no error would loop forever: it fails.
bool WriteAll(IDevice& file, const std::string& strText, uint32_t& nError)
{
    uint64_t nDone = 0;
    while (nDone < strText.size()) {
        const auto nLeft = static_cast<uint32_t>(strText.size() - nDone);
        const T_IO_RESULT io = file.WriteAt(nDone, strText.data() + nDone, nLeft);
        if (!io.bOk || io.nCount == 0) {
            nError = io.bOk ? SystemError::IoError() : io.nError;
            return false;
        }
        nDone += io.nCount;
    }
    return true;
}

T_MD5SUM_FILE Unreadable(std::string strReason)
{
    T_MD5SUM_FILE result;
    result.eState = EMd5SumFile::Unreadable;
    result.strReason = std::move(strReason);
    return result;
}

}  // namespace

std::string Md5SumPathOf(const std::string& strImagePath)
{
    return strImagePath + ".md5sum";
}

std::string Md5SumNameOf(const std::string& strImagePath)
{
    const size_t nSeparator = strImagePath.find_last_of(SEPARATORS);
    return nSeparator == std::string::npos ? strImagePath : strImagePath.substr(nSeparator + 1);
}

std::string Md5SumText(const T_MD5_DIGEST& digest, const std::string& strImagePath)
{
    const std::string strName = Md5SumNameOf(strImagePath);
    const bool bEscape = NeedsEscape(strName);
    std::string strText = bEscape ? "\\" : "";
    strText += DigestText(digest);
    strText += ' ';
    if (!strName.empty() && (strName[0] == ' ' || strName[0] == '*')) strText += ' ';
    strText += bEscape ? Escaped(strName) : strName;
    strText += Md5SumLineEnd();
    return strText;
}

bool WriteMd5SumFile(IDeviceProvider& devices, const std::string& strImagePath, const T_MD5_DIGEST& digest,
                     uint32_t& nError)
{
    nError = 0;
    const std::string strPath = Md5SumPathOf(strImagePath);
    std::unique_ptr<IDevice> pFile = devices.Open(strPath, EOpenMode::CreateImageAlways, nError);
    if (!pFile) return false;
    if (pFile->GetKind() != EDeviceKind::RegularFile) {
        nError = 0;
        return false;
    }
    if (WriteAll(*pFile, Md5SumText(digest, strImagePath), nError) && pFile->Flush(nError)) return true;
    pFile.reset();
    uint32_t nIgnored = 0;
    devices.RemoveFile(strPath, nIgnored);
    return false;
}

std::string Md5SumWriteFailureText(IDeviceProvider& devices, const std::string& strImagePath, uint32_t nError)
{
    uint32_t nOpenError = 0;
    const std::unique_ptr<IDevice> pPath = devices.Open(Md5SumPathOf(strImagePath), EOpenMode::ReadImage, nOpenError);
    const EDeviceKind eKind = pPath ? pPath->GetKind() : EDeviceKind::RegularFile;
    if (eKind != EDeviceKind::RegularFile) return FormatText("it is %s, not a regular file.\n", DeviceKindText(eKind));
    return GetSystemErrorText(nError != 0 ? nError : SystemError::IoError());
}

T_MD5SUM_FILE ReadMd5SumFile(IDeviceProvider& devices, const std::string& strImagePath)
{
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pFile = devices.Open(Md5SumPathOf(strImagePath), EOpenMode::ReadImage, nError);
    if (!pFile && SystemError::IsNotFound(nError)) return T_MD5SUM_FILE{};
    if (!pFile) return Unreadable(GetSystemErrorText(nError));
    const EDeviceKind eKind = pFile->GetKind();
    if (eKind != EDeviceKind::RegularFile)
        return Unreadable(FormatText("it is %s, not a regular file.\n", DeviceKindText(eKind)));
    char buffer[MD5SUM_READ_LIMIT];
    const T_IO_RESULT io = pFile->ReadAt(0, buffer, sizeof buffer);
    if (!io.bOk) return Unreadable(GetSystemErrorText(io.nError));
    T_MD5SUM_FILE result;
    const bool bDigest = ParseMd5SumLine(std::string_view(buffer, io.nCount), result.digest);
    result.eState = bDigest ? EMd5SumFile::Digest : EMd5SumFile::NoDigest;
    return result;
}

bool ParseMd5SumLine(std::string_view strText, T_MD5_DIGEST& digest)
{
    if (!strText.empty() && strText.front() == '\\') strText.remove_prefix(1);
    if (strText.size() < DIGEST_DIGITS) return false;
    if (strText.size() > DIGEST_DIGITS && !EndsDigest(strText[DIGEST_DIGITS])) return false;
    return ParseHexDigits(strText.substr(0, DIGEST_DIGITS), digest.data());
}

std::string_view Md5SumLineEnd()
{
    return TextFileLineEnd();
}
