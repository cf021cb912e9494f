// gravelmoor-cli: the disk engines from a terminal.
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_buffer.h"
#include "cli/cli_commands.h"
#include "cli/cli_inventory.h"
#include "cli/cli_output.h"
#include "cli/cli_stop.h"
#include "cli/console.h"
#include "engine/core/format.h"

int main(int argc, char** argv)
{
    // Before anything opens a file: a closed standard stream must not hand
    // its number to the drive or the image.
    if (!EnsureStandardStreams()) {
        WriteOut(EStream::Error, "gravelmoor-cli: can't open the null device for a closed standard stream.\n");
        return 1;
    }
    // Both before any thread starts.
    ReturnLargeBuffersToSystem();
    UseUserLocale();
    PrepareConsole();
    const std::vector<std::string> args = GetUtf8Arguments(argc, argv);
    const T_PARSE_RESULT parsed = ParseCliArgs(args);
    if (!parsed.bOk) {
        WriteOut(EStream::Error, "gravelmoor-cli: " + parsed.strError + "\n" + CliUsageLine(parsed.args.eCommand) +
                                     "Try 'gravelmoor-cli --help' for more.\n");
        return 2;
    }
    switch (parsed.args.eCommand) {
    case ECliCommand::Help:
        return PrintWholeText(CliUsage(), T_CONSOLE_IO{});
    case ECliCommand::List: {
        CCliInventory inventory;
        return RunListCommand(inventory, T_CONSOLE_IO{});
    }
    case ECliCommand::Read:
        InstallStopHandler(OnStopSignal);
        return RunReadCommand(parsed.args, ProcessCliEnv());
    case ECliCommand::Write:
        InstallStopHandler(OnStopSignal);
        return RunWriteCommand(parsed.args, ProcessCliEnv());
    case ECliCommand::Verify:
        InstallStopHandler(OnStopSignal);
        return RunVerifyCommand(parsed.args, ProcessCliEnv());
    case ECliCommand::Checksum:
        InstallStopHandler(OnStopSignal);
        return RunChecksumCommand(parsed.args, ProcessCliEnv());
    case ECliCommand::Erase:
        InstallStopHandler(OnStopSignal);
        return RunEraseCommand(parsed.args, ProcessCliEnv());
    case ECliCommand::Methods: return RunMethodsCommand(T_CONSOLE_IO{});
    default:
        WriteOut(EStream::Error, CliUsage());
        return 2;
    }
}
