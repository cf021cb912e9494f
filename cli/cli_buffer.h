#pragma once
// How much block memory a job gets: --buffer, else the "Buffer" setting of
// the settings file, read by the same rules as the window reads it
// (missing, not a number or below 16: 16); then at most 75% of the memory
// the machine has available, never below 16 MiB.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_env.h"
#include "drives/profile_store.h"

// The setting from the settings file at strPath through store; what the
// file holds in vain (a value out of range, keys outside the section) adds
// a line to pWarnings.
uint32_t DefaultBufferMiB(IProfileStore& store, const std::string& strPath,
                          std::vector<std::string>* pWarnings = nullptr);
// The setting of this user's settings file (GetSettingsFilePath) through
// the platform's store; 16 when no settings file can be named.
uint32_t DefaultBufferMiB(std::vector<std::string>* pWarnings = nullptr);

// The MiB a job asks for: --buffer, else the settings file's (and then
// the warnings about that file are logged).
uint32_t AskedBufferMiB(const T_CLI_ARGS& args, const T_CLI_ENV& env);
// The job's block count: the asked MiB, at most 75% of the available
// memory, never below 16.
uint32_t ChooseBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB);
// The same, with a warning in the log when the buffer had to be lowered.
uint32_t JobBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB);

// The memory the machine can give the job's blocks right now, in MiB; 0
// when it cannot be told (the platform's answer: posix/, win32/).
uint64_t AvailableMemoryMiB();

// Makes every large buffer (a block of the pool, a decoder's chunk or
// dictionary) come from the system and go back to it when freed, so that
// what the program keeps resident is what it holds, not what an allocator
// keeps for later. Call it in main, before any thread starts.
void ReturnLargeBuffersToSystem();
