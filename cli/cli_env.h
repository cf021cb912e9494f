#pragma once
// What a command works with: its streams, the operator's stop request, the
// devices and drive inventory it opens drives through, the memory and
// buffer setting its job is sized by, and the running system's places the
// job's pre-flight guards. The program passes its own; tests pass theirs.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_output.h"
#include "cli/cli_prompt.h"
#include "cli/cli_stop.h"
#include "cli/console.h"
#include "jobs/system_places.h"

class IDeviceProvider;
class CCliInventory;

struct T_CLI_ENV {
    T_OUTPUT_MODE output;
    T_CONSOLE_IO io;
    const CStopRequest* pStop = nullptr;  // null: nothing stops the job
    IDeviceProvider* pDevices = nullptr;  // null: the platform's drives and files
    uint64_t nAvailableMiB = 0;           // 0: not known
    uint32_t nDefaultBufferMiB = 16;      // without --buffer: the settings file's
    std::vector<std::string> arrSettingsWarnings;  // logged by a job that takes the setting
    CCliInventory* pInventory = nullptr;  // null: every drive is a path, none is listed
    // Where the running system lives; empty: nowhere to guard.
    std::vector<T_SYSTEM_PLACE> arrSystemPlaces;
    // How long a stopped job may take before the operator is told that a
    // drive does not answer.
    std::chrono::milliseconds stopPatience{5000};
};

// This process's environment: its streams and variables, its stop
// request, the machine's available memory and system places.
T_CLI_ENV ProcessCliEnv();

bool StopRequested(const T_CLI_ENV& env);
// A stop request wins over --yes: nothing is destroyed after one.
EPromptRule PromptRuleOf(bool bYes, const T_CLI_ENV& env);
// The devices the command opens drives and images with.
IDeviceProvider& DevicesOf(const T_CLI_ENV& env);
