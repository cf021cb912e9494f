#pragma once
// MD5 (RFC 1321): CMd5 and T_MD5_DIGEST, beside SHA-256 in digest.h.
#include "engine/core/digest.h"
