#pragma once
// The .md5sum file beside an image: "IMAGE.md5sum" holding one line, the
// MD5 digest of the image's data (of the uncompressed data for a
// compressed image) as 32 lower-case hexadecimal digits, one blank, the
// image's file name, and the line end of a text file on the platform.
// GNU md5sum -c reads what is written here. Reading takes the digest from
// the start of the first line and does not look at the name; what cannot
// be read as a digest there says so instead of passing for one.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/md5.h"
#include "engine/device/device.h"

// "IMAGE.md5sum".
std::string Md5SumPathOf(const std::string& strImagePath);
// The image's name without its folder: what follows the last path
// separator ('\' or '/' on Windows, '/' elsewhere); the whole path when it
// has none.
std::string Md5SumNameOf(const std::string& strImagePath);
// The file's whole text. A name that would break the line (a line feed or
// carriage return in it) is written escaped, as md5sum -c expects it: a
// backslash first on the line, and "\\", "\n", "\r" in the name. A name
// that starts with a blank or '*' gets a second blank in front, so that
// md5sum -c does not take that character for its mode mark.
std::string Md5SumText(const T_MD5_DIGEST& digest, const std::string& strImagePath);

// Writes the file beside the image, replacing an existing one. False with
// the system error code (0 when the path is not a regular file) when it
// could not be written whole; a file left half-written is removed, so it
// can never pass for a digest.
bool WriteMd5SumFile(IDeviceProvider& devices, const std::string& strImagePath, const T_MD5_DIGEST& digest,
                     uint32_t& nError);
// Why WriteMd5SumFile failed with nError, for the log, ending in a line
// feed: what the path is when it is not a regular file (a folder, a FIFO),
// else the system's error text.
std::string Md5SumWriteFailureText(IDeviceProvider& devices, const std::string& strImagePath, uint32_t nError);

enum class EMd5SumFile {
    Missing,     // there is no such file: nothing to compare with
    Unreadable,  // it is there but cannot be read, or is not a regular file
    NoDigest,    // it does not start with a digest
    Digest,      // the digest was read
};

struct T_MD5SUM_FILE {
    EMd5SumFile eState = EMd5SumFile::Missing;
    T_MD5_DIGEST digest{};
    std::string strReason;  // Unreadable: why, ending in a line feed
};

// The most of the file that is read: its first line, as far as it matters.
constexpr uint32_t MD5SUM_READ_LIMIT = 255;

// Reads the digest of the image's .md5sum file. Reads at most
// MD5SUM_READ_LIMIT bytes, and only from a regular file: a FIFO or a device
// under that name is never waited on.
T_MD5SUM_FILE ReadMd5SumFile(IDeviceProvider& devices, const std::string& strImagePath);
// The digest at the start of a line: 32 hexadecimal digits in either case,
// after an optional backslash (the mark of an escaped name), then the end
// of the text, a blank, a tab or a line end.
bool ParseMd5SumLine(std::string_view strText, T_MD5_DIGEST& digest);

// The line end of a text file on this platform ("\r\n" on Windows).
std::string_view Md5SumLineEnd();
