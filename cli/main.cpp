// gravelmoor-cli: the disk engines from a terminal.
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_read.h"
#include "cli/console.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args = GetUtf8Arguments(argc, argv);
    const T_PARSE_RESULT parsed = ParseCliArgs(args);
    if (!parsed.bOk) {
        WriteOut(EStream::Error, "gravelmoor-cli: " + parsed.strError + "\n\n" + CliUsage());
        return 2;
    }
    switch (parsed.args.eCommand) {
    case ECliCommand::Help:
        WriteOut(EStream::Output, CliUsage());
        return 0;
    case ECliCommand::Read:
        return RunReadCommand(parsed.args);
    default:
        WriteOut(EStream::Error, CliUsage());
        return 2;
    }
}
