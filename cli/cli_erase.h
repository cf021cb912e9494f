#pragma once
// The "erase" command: 1 to 4 drives overwritten at the same time with the
// passes of one erase method, after every check that can be made and the
// operator's Yes.
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_job.h"
#include "cli/cli_targets.h"

// Runs the erase and returns the exit status: 0 when every drive completed
// every pass (every verification pass finding no difference) and the log
// reached standard output, 1 otherwise (refused, not confirmed, a drive
// NG), StopExitStatus after a stop request that cut the job short.
int RunEraseCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);

// What is shown before the question: the heading, one line per drive with
// its path and size in bytes, the method's log line and the warning.
std::string EraseConfirmationText(const std::vector<T_TARGET>& arrTargets, uint32_t nMethod);
