#pragma once
// The one decision of an image's format, for every job that reads an image
// (write, verify, checksum) and both front ends: the format comes from the
// image's name (or from what the operator asked for instead), and the
// image's first bytes must then show it. A name that promises nothing
// stays raw, whatever the bytes: a raw image is never taken for a
// compressed one; when its bytes look compressed, the operator is warned.
#include <string>

#include "engine/codecs/image_format.h"
#include "engine/device/device.h"

// What the first bytes of an image say about the format it is read in.
struct T_FORMAT_LOOK {
    std::string strRefusal;  // the job must not read it (a log line, ending in a line feed); empty: it may
    std::string strWarning;  // a raw image that starts as a compressed format does (a log line); empty: none
};

struct T_FORMAT_DECISION {
    EImageFormat eFormat = EImageFormat::Raw;
    T_FORMAT_LOOK look;
};

// The format asked for, or the one the name promises; then what
// LookAtFormat says of the image in that format.
T_FORMAT_DECISION DecideImageFormat(IDeviceProvider& devices, const std::string& strPath, EFormatAsk eAsk);

// The refusal of an image of eFormat that this program cannot read here
// (its library absent, or the format not built), without opening it: "can't
// read IMAGE: ...\n". Empty when it can be read, and for gzip, whose zlib
// binding is checked by the callers with zlib's own line.
std::string FormatUnreadableRefusal(const std::string& strPath, EImageFormat eFormat);

// Whether the image can be read as eFormat: its library is there (gzip's
// is checked by the callers, with zlib's own line), and its first bytes
// are those of eFormat (a compressed format), or a warning when they look
// compressed (raw). A file that does not open, is no regular file or is
// empty gives neither: the job's own checks say what is wrong with it.
T_FORMAT_LOOK LookAtFormat(IDeviceProvider& devices, const std::string& strPath, EImageFormat eFormat);
