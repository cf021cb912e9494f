#pragma once
// Which file of a zip archive is the image: the only file it holds, or else
// the only one named as an image (.img, .iso, .bin, .dd or .gmi, any case)
// when every other file is a small side file (a README, a checksum or a
// signature: at most 1 MiB and not named as an image). Folder entries are
// passed over. Any other archive is refused, with what it holds.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One entry of the archive's directory.
struct T_ZIP_MEMBER {
    std::string strName;  // its path in the archive, UTF-8
    uint64_t nSize = 0;   // its data's size, as the directory gives it
    bool bFolder = false;
    bool bRegular = true;  // a regular file, not a link or another kind
    bool bEncrypted = false;  // its data are encrypted (a zip with a password)
};

// The largest side file beside the image.
constexpr uint64_t ZIP_SIDE_FILE_BYTES = 0x100000;
// The most files a refusal lists one by one.
constexpr size_t ZIP_FILES_LISTED = 10;

// The image's index among members; empty when the archive holds no one
// image.
std::optional<size_t> ChooseZipImage(const std::vector<T_ZIP_MEMBER>& members);

// Why the archive holds no one image, with what it holds, as the rest of a
// line that starts "can't read IMAGE: ", ending in a line feed: the rule,
// then one line per file (at most ZIP_FILES_LISTED, then how many more).
std::string ZipChoiceRefusal(const std::vector<T_ZIP_MEMBER>& members);

// Why the chosen image cannot be read, as the rest of such a line; empty
// when it can be, as far as the directory tells.
std::string ZipImageRefusal(const T_ZIP_MEMBER& image);
