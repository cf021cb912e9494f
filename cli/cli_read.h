#pragma once
// The "read" command: one drive into one raw image, with the digest.
#include <cstdint>
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_stop.h"
#include "cli/console.h"

class IDeviceProvider;

// What the read command works with: the program passes its own streams,
// stop request and memory figure; tests pass theirs.
struct T_READ_ENV {
    T_OUTPUT_MODE output;
    T_CONSOLE_IO io;
    const CStopRequest* pStop = nullptr;  // null: nothing stops the job
    IDeviceProvider* pDevices = nullptr;  // null: the platform's drives and files
    uint64_t nAvailableMiB = 0;           // 0: not known
};

// This process's environment: its streams and variables, its stop
// request, the machine's available memory.
T_READ_ENV ProcessReadEnv();

// Runs the read and returns the exit status: 0 when the image is complete
// and the log (with the digest) reached standard output, 1 on failure,
// StopExitStatus after a stop request that cut the job short.
int RunReadCommand(const T_CLI_ARGS& args, const T_READ_ENV& env);

// Refuses an image path that would destroy data: the drive itself, or an
// existing thing that is not a regular file (a device, a folder). Empty
// when the path is acceptable, else the reason.
std::string CheckImageTarget(const std::string& strDrive, const std::string& strImage);

// The job's block count: the asked MiB, at most 75% of the available
// memory, never below 16.
uint32_t ChooseBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB);
