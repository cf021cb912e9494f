#pragma once
// How much block memory a job asks for when --buffer was not given: the
// "Buffer" setting of the settings file, read by the same rules as the
// window reads it (missing, not a number or below 16: 16).
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "drives/profile_store.h"

// The setting from the settings file at strPath through store; what the
// file holds in vain (a value out of range, keys outside the section) adds
// a line to pWarnings.
uint32_t DefaultBufferMiB(IProfileStore& store, const std::string& strPath,
                          std::vector<std::string>* pWarnings = nullptr);
// The setting of this user's settings file (GetSettingsFilePath) through
// the platform's store; 16 when no settings file can be named.
uint32_t DefaultBufferMiB(std::vector<std::string>* pWarnings = nullptr);
