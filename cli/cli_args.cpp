#include "cli/cli_args.h"

#include <cctype>
#include <charconv>

namespace {

bool ParseBuffer(const std::string& strValue, uint32_t& nMiB, std::string& strError)
{
    uint64_t n = 0;
    const char* pEnd = strValue.data() + strValue.size();
    auto [ptr, ec] = std::from_chars(strValue.data(), pEnd, n);
    if (strValue.empty() || ec != std::errc() || ptr != pEnd) {
        strError = "--buffer needs a whole number of MiB, not \"" + strValue + "\"";
        return false;
    }
    if (n < MIN_BUFFER_MIB || n > MAX_BUFFER_MIB) {
        strError = "--buffer must be between 16 and 65536 MiB";
        return false;
    }
    nMiB = static_cast<uint32_t>(n);
    return true;
}

// "read" takes exactly two operands; the message says which are missing or
// which are too many.
bool CheckOperandCount(const std::vector<std::string>& operands, std::string& strError)
{
    if (operands.empty()) {
        strError = "read needs a DRIVE and an IMAGE: both are missing";
    } else if (operands.size() == 1) {
        strError = "missing IMAGE (the file to create) after the DRIVE " + operands[0];
    } else if (operands.size() > 2) {
        strError = "too many arguments:";
        for (size_t i = 2; i < operands.size(); ++i) strError += " \"" + operands[i] + "\"";
        strError += " (read takes one DRIVE and one IMAGE)";
    }
    return operands.size() == 2;
}

// Reads the options and operands of "read".
T_PARSE_RESULT ParseRead(const std::vector<std::string>& argv)
{
    T_PARSE_RESULT result;
    result.args.eCommand = ECliCommand::Read;
    std::vector<std::string> operands;
    bool bOptionsEnd = false;
    for (size_t i = 2; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (bOptionsEnd || a.empty() || a[0] != '-' || a == "-") {
            operands.push_back(a);
        } else if (a == "--") {
            bOptionsEnd = true;
        } else if (a == "--unstable") {
            result.args.bUnstable = true;
        } else if (a == "--yes" || a == "-y") {
            result.args.bYes = true;
        } else if (a == "--compress" || a == "--no-compress") {
            result.args.eCompress = a == "--compress" ? T_CLI_ARGS::ECompress::On : T_CLI_ARGS::ECompress::Off;
        } else if (a == "--help" || a == "-h") {
            result.args.eCommand = ECliCommand::Help;
            result.bOk = true;
            return result;
        } else if (a == "--buffer" || a.starts_with("--buffer=")) {
            std::string strValue;
            if (a == "--buffer") {
                if (++i >= argv.size()) {
                    result.strError = "--buffer needs a value";
                    return result;
                }
                strValue = argv[i];
            } else {
                strValue = a.substr(9);
            }
            if (!ParseBuffer(strValue, result.args.nBufferMiB, result.strError)) return result;
        } else {
            result.strError = "unknown option " + a;
            return result;
        }
    }
    if (!CheckOperandCount(operands, result.strError)) return result;
    result.args.strDrive = operands[0];
    result.args.strImage = operands[1];
    result.bOk = true;
    return result;
}

}  // namespace

bool WantsCompression(const T_CLI_ARGS& args)
{
    if (args.eCompress != T_CLI_ARGS::ECompress::ByName) return args.eCompress == T_CLI_ARGS::ECompress::On;
    const std::string& s = args.strImage;
    if (s.size() < 4) return false;
    std::string strEnd = s.substr(s.size() - 4);
    for (char& c : strEnd) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return strEnd == ".gmz";
}

T_PARSE_RESULT ParseCliArgs(const std::vector<std::string>& argv)
{
    T_PARSE_RESULT result;
    if (argv.size() < 2) {
        result.strError = "no command given";
        return result;
    }
    const std::string& strCommand = argv[1];
    if (strCommand == "--help" || strCommand == "-h" || strCommand == "help") {
        result.args.eCommand = ECliCommand::Help;
        result.bOk = true;
        return result;
    }
    if (strCommand == "read") return ParseRead(argv);
    result.strError = "unknown command " + strCommand;
    return result;
}

std::string CliUsageLine()
{
    return "Usage: gravelmoor-cli read [--unstable] [--yes] [--compress | --no-compress] [--buffer MIB]\n"
           "                          DRIVE IMAGE\n";
}

std::string CliUsage()
{
    return CliUsageLine() +
           "\n"
           "Reads the whole DRIVE into the image file IMAGE and prints the drive's\n"
           "MD5 digest (\"DISK MD5SUM=...\"). The image is raw (the drive's bytes), or\n"
           "one gzip stream of them when it is compressed.\n"
           "\n"
           "  DRIVE         a whole-disk device (for example /dev/sdb) or a regular file\n"
           "  IMAGE         the image file to create (.gmi or .dd raw, .gmz compressed);\n"
           "                it must not be the drive itself, nor a device\n"
           "\n"
           "Options:\n"
           "  --unstable    unstable-media mode: read 4096 bytes at a time and accept\n"
           "                a block only when 4 consecutive reads agree\n"
           "  --yes, -y     answer Yes to the question whether to overwrite an existing\n"
           "                IMAGE; without it, and without a terminal to ask on, the\n"
           "                answer is No and the image is left as it is\n"
           "  --compress, --no-compress\n"
           "                write a compressed (gzip) or a raw image; by default the\n"
           "                image is compressed exactly when its name ends in .gmz\n"
           "  --buffer MIB  memory for blocks in flight, in MiB (1 MiB blocks; 16 to\n"
           "                65536, default 16); more than 75% of the available memory\n"
           "                is lowered to that, with a warning\n"
           "  --help, -h    show this help\n"
           "\n"
           "Log lines go to standard output (to standard error when standard output\n"
           "cannot be written). Progress goes to standard error when it is a terminal:\n"
           "one line kept up to date, or a line per tenth of the drive when standard\n"
           "output is a pipe or TERM is dumb. NO_COLOR (any value) turns colour off.\n"
           "\n"
           "Ctrl-C (SIGINT), SIGTERM or SIGHUP stops the read: the image is closed and\n"
           "kept, and the last line says how many of the drive's bytes it holds; a\n"
           "second Ctrl-C ends the program at once.\n"
           "\n"
           "Exit status: 0 the read succeeded, 1 it failed (or standard output could\n"
           "not be written), 2 usage error; 130, 143 or 129 stopped by SIGINT, SIGTERM\n"
           "or SIGHUP.\n";
}
