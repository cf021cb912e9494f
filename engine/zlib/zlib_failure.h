#pragma once
// The reason of a failed compressed stream step, as the second line of the
// engines' "file compress ..." error lines: the system's text when the file
// transfer failed, else what zlib's result means for an image.
#include <string>

#include "engine/zlib/zlib_io.h"

std::string ZlibFailureText(const CZLIBIO::T_RESULT& result);
