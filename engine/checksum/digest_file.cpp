// Reading and parsing digest files.
#include "engine/checksum/digest_file.h"

#include <memory>
#include <optional>

#include "engine/checksum/md5sum_file.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"

namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A digest of 32 or 64 digits, the whole of strHex.
std::optional<T_DIGEST_VALUE> DigestOf(std::string_view strHex)
{
    T_DIGEST_VALUE digest;
    if (strHex.size() == 2 * DigestSize(EDigestKind::Md5)) digest.eKind = EDigestKind::Md5;
    else if (strHex.size() == 2 * DigestSize(EDigestKind::Sha256)) digest.eKind = EDigestKind::Sha256;
    else return std::nullopt;
    if (!ParseHexDigits(strHex, digest.bytes.data())) return std::nullopt;
    return digest;
}

// One line of sha256sum or md5sum: [\]DIGEST, a blank, an optional mode
// mark (a second blank or '*'), the name.
struct T_DIGEST_LINE {
    T_DIGEST_VALUE digest;
    std::string strName;
};

std::string Unescaped(std::string_view strName)
{
    std::string strOut;
    for (size_t i = 0; i < strName.size(); ++i) {
        const char c = strName[i];
        if (c != '\\' || i + 1 == strName.size()) {
            strOut += c;
            continue;
        }
        const char e = strName[++i];
        strOut += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    }
    return strOut;
}

std::optional<T_DIGEST_LINE> ParseLine(std::string_view strLine)
{
    const bool bEscaped = !strLine.empty() && strLine.front() == '\\';
    if (bEscaped) strLine.remove_prefix(1);
    const size_t nBlank = strLine.find(' ');
    if (nBlank == std::string_view::npos) return std::nullopt;
    const std::optional<T_DIGEST_VALUE> digest = DigestOf(strLine.substr(0, nBlank));
    std::string_view strName = strLine.substr(nBlank + 1);
    if (!strName.empty() && (strName.front() == ' ' || strName.front() == '*')) strName.remove_prefix(1);
    if (!digest || strName.empty()) return std::nullopt;
    return T_DIGEST_LINE{*digest, bEscaped ? Unescaped(strName) : std::string(strName)};
}

bool IsBlank(std::string_view strLine)
{
    return strLine.find_first_not_of(" \t") == std::string_view::npos;
}

// The lines of the text that are not blank, without their line ends.
std::vector<std::string_view> LinesOf(std::string_view strText)
{
    std::vector<std::string_view> arrLines;
    while (!strText.empty()) {
        const size_t nEnd = strText.find('\n');
        std::string_view strLine = strText.substr(0, nEnd);
        strText.remove_prefix(nEnd == std::string_view::npos ? strText.size() : nEnd + 1);
        if (!strLine.empty() && strLine.back() == '\r') strLine.remove_suffix(1);
        if (!IsBlank(strLine)) arrLines.push_back(strLine);
    }
    return arrLines;
}

bool NamesImage(const std::string& strName, std::string_view strImageName)
{
    return strName == strImageName ||
           (strName.size() > strImageName.size() && strName.ends_with(strImageName) &&
            strName[strName.size() - strImageName.size() - 1] == '/');
}

T_DIGEST_FILE Found(EDigestFile eState, const T_DIGEST_VALUE& digest = {})
{
    T_DIGEST_FILE file;
    file.eState = eState;
    file.digest = digest;
    return file;
}

T_DIGEST_FILE UnreadableFile(std::string strReason)
{
    T_DIGEST_FILE file = Found(EDigestFile::Unreadable);
    file.strReason = std::move(strReason);
    return file;
}

}  // namespace

bool ParseHexDigits(std::string_view strHex, uint8_t* pOut)
{
    for (const char c : strHex) {
        if (HexValue(c) < 0) return false;
    }
    for (size_t i = 0; i + 1 < strHex.size(); i += 2)
        pOut[i / 2] = static_cast<uint8_t>(HexValue(strHex[i]) * 16 + HexValue(strHex[i + 1]));
    return true;
}

T_DIGEST_FILE ParseDigestFile(std::string_view strText, std::string_view strImageName)
{
    if (strText.starts_with(BYTE_ORDER_MARK)) strText.remove_prefix(BYTE_ORDER_MARK.size());
    const std::vector<std::string_view> arrLines = LinesOf(strText);
    if (arrLines.size() == 1) {
        const std::string_view strBare = arrLines[0].substr(0, arrLines[0].find_last_not_of(" \t") + 1);
        if (const std::optional<T_DIGEST_VALUE> digest = DigestOf(strBare)) return Found(EDigestFile::Digest, *digest);
    }
    std::vector<T_DIGEST_LINE> arrParsed;
    for (const std::string_view strLine : arrLines) {
        std::optional<T_DIGEST_LINE> line = ParseLine(strLine);
        if (!line) return Found(EDigestFile::NoDigest);
        arrParsed.push_back(std::move(*line));
    }
    if (arrParsed.empty()) return Found(EDigestFile::NoDigest);
    if (arrParsed.size() == 1) return Found(EDigestFile::Digest, arrParsed[0].digest);
    for (const bool bExact : {true, false}) {
        for (const T_DIGEST_LINE& line : arrParsed) {
            if (bExact ? line.strName == strImageName : NamesImage(line.strName, strImageName))
                return Found(EDigestFile::Digest, line.digest);
        }
    }
    return Found(EDigestFile::NoLineForImage);
}

T_DIGEST_FILE ReadDigestFile(IDeviceProvider& devices, const std::string& strPath, const std::string& strImagePath)
{
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pFile = devices.Open(strPath, EOpenMode::ReadImage, nError);
    if (!pFile) {
        T_DIGEST_FILE file = UnreadableFile(GetSystemErrorText(nError));
        if (SystemError::IsNotFound(nError)) file.eState = EDigestFile::Missing;
        return file;
    }
    const EDeviceKind eKind = pFile->GetKind();
    if (eKind != EDeviceKind::RegularFile)
        return UnreadableFile(FormatText("it is %s, not a regular file.\n", DeviceKindText(eKind)));
    std::string strText(DIGEST_FILE_READ_LIMIT + 1, '\0');
    uint64_t nGot = 0;
    while (nGot < strText.size()) {
        const T_IO_RESULT io =
            pFile->ReadAt(nGot, strText.data() + nGot, static_cast<uint32_t>(strText.size() - nGot));
        if (!io.bOk) return UnreadableFile(GetSystemErrorText(io.nError));
        if (io.nCount == 0) break;
        nGot += io.nCount;
    }
    if (nGot > DIGEST_FILE_READ_LIMIT)
        return UnreadableFile(
            FormatText("it is longer than %u bytes, which no digest file is.\n", DIGEST_FILE_READ_LIMIT));
    strText.resize(static_cast<size_t>(nGot));
    return ParseDigestFile(strText, Md5SumNameOf(strImagePath));
}

std::string DigestFileProblem(const T_DIGEST_FILE& file, const std::string& strImagePath)
{
    switch (file.eState) {
    case EDigestFile::Unreadable: {
        std::string strReason = file.strReason;
        while (!strReason.empty() && strReason.back() == '\n') strReason.pop_back();
        return "can't read it: " + strReason;
    }
    case EDigestFile::NoDigest:
        return "it holds no digest: neither lines of sha256sum or md5sum nor a bare digest of 32 or 64 "
               "hexadecimal digits";
    case EDigestFile::NoLineForImage: return "none of its lines is for " + Md5SumNameOf(strImagePath);
    case EDigestFile::Missing:
    case EDigestFile::Digest: break;
    }
    return {};
}

std::vector<std::string> Sha256FilePathsOf(const std::string& strImagePath)
{
    return {strImagePath + ".sha256sum", strImagePath + ".sha256"};
}
