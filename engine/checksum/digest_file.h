#pragma once
// Digest files as they are published beside downloads: the lines that
// sha256sum and md5sum write ("<digest>  NAME", "<digest> *NAME", or with
// one blank as our own .md5sum; a backslash first when the name is
// escaped), one or more of them, or a bare digest alone. A digest is 32
// (MD5) or 64 (SHA-256) hexadecimal digits in either case; lines may end in
// CR LF. Of several lines the one for the image is taken: the line whose
// name is the image's file name (or ends in "/" and that name); a file of
// one line is the image's whatever name it gives. A file with any other
// line in it holds no digest: it is not taken for one.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/digest.h"
#include "engine/device/device.h"

enum class EDigestFile {
    Missing,         // there is no such file
    Unreadable,      // it is there but cannot be read, is not a regular file, or is far too long
    NoDigest,        // it holds something other than digest lines or a bare digest
    NoLineForImage,  // it holds digest lines, none of them for the image
    Digest,          // the image's digest was read
};

struct T_DIGEST_FILE {
    EDigestFile eState = EDigestFile::Missing;
    T_DIGEST_VALUE digest;
    std::string strReason;  // Unreadable or Missing: why, ending in a line feed
};

// The most of a file that is read; a longer one is no digest file.
constexpr uint32_t DIGEST_FILE_READ_LIMIT = 0x100000;

// The digest the text holds for the image named strImageName (a name
// without folder).
T_DIGEST_FILE ParseDigestFile(std::string_view strText, std::string_view strImageName);
// Reads the file at strPath (only a regular file: a FIFO or a device under
// that name is never waited on) and parses it for the image at
// strImagePath.
T_DIGEST_FILE ReadDigestFile(IDeviceProvider& devices, const std::string& strPath, const std::string& strImagePath);
// Why a file that was found gives no digest, for a log line, without a
// line feed: "can't read it: ...", "it holds no digest: ...", "none of its
// lines is for NAME". Empty for a digest, or for a missing file.
std::string DigestFileProblem(const T_DIGEST_FILE& file, const std::string& strImagePath);

// The files the checksum looks at for the image's SHA-256: "IMAGE.sha256sum"
// and "IMAGE.sha256", in that order.
std::vector<std::string> Sha256FilePathsOf(const std::string& strImagePath);

// The bytes of strHex.size() / 2 hexadecimal digit pairs (either case)
// into pOut; false, with pOut unchanged, when any character is no digit.
bool ParseHexDigits(std::string_view strHex, uint8_t* pOut);
