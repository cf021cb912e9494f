#include "engine/codecs/zip_member_choice.h"

#include <algorithm>
#include <cctype>

#include "engine/core/format.h"

namespace {

constexpr const char* IMAGE_ENDINGS[] = {".img", ".iso", ".bin", ".dd", ".gmi"};

bool NamedAsImage(const std::string& strName)
{
    std::string strLower = strName;
    std::transform(strLower.begin(), strLower.end(), strLower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(std::begin(IMAGE_ENDINGS), std::end(IMAGE_ENDINGS),
                       [&](const char* pszEnding) { return strLower.ends_with(pszEnding); });
}

std::vector<const T_ZIP_MEMBER*> FilesOf(const std::vector<T_ZIP_MEMBER>& members)
{
    std::vector<const T_ZIP_MEMBER*> files;
    for (const T_ZIP_MEMBER& member : members) {
        if (!member.bFolder) files.push_back(&member);
    }
    return files;
}

}  // namespace

std::optional<size_t> ChooseZipImage(const std::vector<T_ZIP_MEMBER>& members)
{
    const std::vector<const T_ZIP_MEMBER*> files = FilesOf(members);
    const T_ZIP_MEMBER* pImage = nullptr;
    if (files.size() == 1) {
        pImage = files.front();
    } else {
        for (const T_ZIP_MEMBER* pFile : files) {
            if (!NamedAsImage(pFile->strName) && pFile->nSize <= ZIP_SIDE_FILE_BYTES) continue;
            if (pImage || !NamedAsImage(pFile->strName)) return std::nullopt;  // a second image, or a large file
            pImage = pFile;
        }
    }
    if (!pImage || !pImage->bRegular) return std::nullopt;
    return static_cast<size_t>(pImage - members.data());
}

std::string ZipImageRefusal(const T_ZIP_MEMBER& image)
{
    if (!image.bEncrypted) return {};
    return FormatText("its image file, %s, is encrypted (the archive has a password), and encrypted zip files "
                      "cannot be read here.\n",
                      image.strName);
}

std::string ZipChoiceRefusal(const std::vector<T_ZIP_MEMBER>& members)
{
    const std::vector<const T_ZIP_MEMBER*> files = FilesOf(members);
    std::string strText = "a zip image must hold one file, or one file named .img, .iso, .bin, .dd or .gmi beside "
                          "files of at most 1 MiB; ";
    if (files.empty()) return strText + "this one holds no file.\n";
    strText += FormatText("this one holds %I64u:\n", static_cast<uint64_t>(files.size()));
    for (size_t i = 0; i < files.size() && i < ZIP_FILES_LISTED; ++i) {
        strText += FormatText("  %s (%I64u bytes%s)\n", files[i]->strName, files[i]->nSize,
                              files[i]->bRegular ? "" : ", not a regular file");
    }
    if (files.size() > ZIP_FILES_LISTED)
        strText += FormatText("  and %I64u more.\n", static_cast<uint64_t>(files.size() - ZIP_FILES_LISTED));
    return strText;
}
