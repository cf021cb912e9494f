#include "cli/cli_args.h"

#include <charconv>
#include <optional>

#include "engine/core/format.h"
#include "engine/core/job_options.h"

namespace {

// The commands an option belongs to, as bits.
constexpr unsigned FOR_READ = 1;
constexpr unsigned FOR_WRITE = 2;
constexpr unsigned FOR_VERIFY = 4;
constexpr unsigned FOR_ERASE = 8;
constexpr unsigned FOR_CHECKSUM = 16;
constexpr unsigned FOR_JOBS = FOR_READ | FOR_WRITE | FOR_VERIFY;  // the commands that move drive data

// An option without a value: its names, the commands that take it, and
// what it sets.
struct T_FLAG {
    const char* pName;
    const char* pShort;  // null: none
    unsigned nCommands;
    void (*pfnSet)(T_CLI_ARGS&);
};

using ECompress = T_CLI_ARGS::ECompress;

constexpr T_FLAG FLAGS[] = {
    {"--unstable", nullptr, FOR_READ | FOR_WRITE | FOR_VERIFY, [](T_CLI_ARGS& a) { a.bUnstable = true; }},
    {"--yes", "-y", FOR_READ | FOR_WRITE | FOR_ERASE, [](T_CLI_ARGS& a) { a.bYes = true; }},
    {"--compress", nullptr, FOR_JOBS | FOR_CHECKSUM, [](T_CLI_ARGS& a) { a.eCompress = ECompress::On; }},
    {"--no-compress", nullptr, FOR_JOBS | FOR_CHECKSUM, [](T_CLI_ARGS& a) { a.eCompress = ECompress::Off; }},
    {"--force-write", nullptr, FOR_WRITE, [](T_CLI_ARGS& a) { a.bForceWrite = true; }},
    {"--diff-only", nullptr, FOR_WRITE | FOR_ERASE, [](T_CLI_ARGS& a) { a.bDiffOnly = true; }},
    {"--verify", nullptr, FOR_READ | FOR_WRITE, [](T_CLI_ARGS& a) { a.bVerify = true; }},
    {"--md5-verify", nullptr, FOR_WRITE, [](T_CLI_ARGS& a) { a.bMd5Verify = true; }},
    {"--force-verify", nullptr, FOR_WRITE | FOR_VERIFY, [](T_CLI_ARGS& a) { a.bForceVerify = true; }},
    {"--eject", nullptr, FOR_JOBS | FOR_ERASE, [](T_CLI_ARGS& a) { a.bEject = true; }},
    {"--share-read", nullptr, FOR_JOBS, [](T_CLI_ARGS& a) { a.bShareRead = true; }},
    {"--md5sum", nullptr, FOR_READ, [](T_CLI_ARGS& a) { a.bMd5Sum = true; }},
};

unsigned CommandBit(ECliCommand eCommand)
{
    switch (eCommand) {
    case ECliCommand::Read: return FOR_READ;
    case ECliCommand::Write: return FOR_WRITE;
    case ECliCommand::Verify: return FOR_VERIFY;
    case ECliCommand::Erase: return FOR_ERASE;
    case ECliCommand::Checksum: return FOR_CHECKSUM;
    default: return 0;
    }
}

const char* CommandName(ECliCommand eCommand)
{
    switch (eCommand) {
    case ECliCommand::List: return "list";
    case ECliCommand::Read: return "read";
    case ECliCommand::Write: return "write";
    case ECliCommand::Verify: return "verify";
    case ECliCommand::Erase: return "erase";
    case ECliCommand::Methods: return "methods";
    case ECliCommand::Checksum: return "checksum";
    default: return "";
    }
}

const T_FLAG* FindFlag(const std::string& a)
{
    for (const T_FLAG& flag : FLAGS) {
        if (a == flag.pName || (flag.pShort && a == flag.pShort)) return &flag;
    }
    return nullptr;
}

// A whole number from nMin to nMax as the value of an option.
bool ParseCount(const std::string& strOption, const std::string& strValue, uint32_t nMin, uint32_t nMax,
                const char* pszUnit, uint32_t& nValue, std::string& strError)
{
    uint64_t n = 0;
    const char* pEnd = strValue.data() + strValue.size();
    auto [ptr, ec] = std::from_chars(strValue.data(), pEnd, n);
    const std::string strUnit = *pszUnit ? std::string(" ") + pszUnit : std::string();
    if (strValue.empty() || ec != std::errc() || ptr != pEnd) {
        strError = strOption + " needs a whole number" + (*pszUnit ? " of" + strUnit : strUnit) + ", not \"" +
                   strValue + "\"";
        return false;
    }
    if (n < nMin || n > nMax) {
        strError = strOption + " must be between " + std::to_string(nMin) + " and " + std::to_string(nMax) + strUnit;
        return false;
    }
    nValue = static_cast<uint32_t>(n);
    return true;
}

// A method id: decimal, or hexadecimal after "0x" (the catalogue writes
// some ids that way). Any 32-bit id is taken; one the catalogue lacks is
// the command's business.
bool ParseMethod(const std::string& strValue, uint32_t& nMethod, std::string& strError)
{
    const bool bHex = strValue.size() > 2 && (strValue.starts_with("0x") || strValue.starts_with("0X"));
    const char* pBegin = strValue.data() + (bHex ? 2 : 0);
    const char* pEnd = strValue.data() + strValue.size();
    uint32_t n = 0;
    auto [ptr, ec] = std::from_chars(pBegin, pEnd, n, bHex ? 16 : 10);
    if (strValue.empty() || ec != std::errc() || ptr != pEnd) {
        strError = "--method needs a method id (a number that 'gravelmoor-cli methods' lists), not \"" + strValue +
                   "\"";
        return false;
    }
    nMethod = n;
    return true;
}

// An option with a value: "--name VALUE" or "--name=VALUE", the commands
// that take it, and how its value is read.
struct T_VALUE_OPTION {
    const char* pName;
    unsigned nCommands;
    bool (*pfnParse)(const std::string& strValue, T_CLI_ARGS& args, std::string& strError);
};

constexpr T_VALUE_OPTION VALUE_OPTIONS[] = {
    {"--buffer", FOR_JOBS | FOR_ERASE,
     [](const std::string& v, T_CLI_ARGS& a, std::string& e) {
         return ParseCount("--buffer", v, MIN_BUFFER_MIB, MAX_BUFFER_MIB, "MiB", a.nBufferMiB, e);
     }},
    {"--threads", FOR_READ,
     [](const std::string& v, T_CLI_ARGS& a, std::string& e) {
         return ParseCount("--threads", v, 1, MAX_CLI_THREADS, "threads", a.nThreads, e);
     }},
    {"--level", FOR_READ,
     [](const std::string& v, T_CLI_ARGS& a, std::string& e) {
         return ParseCount("--level", v, MIN_ZSTD_LEVEL, MAX_ZSTD_LEVEL, "", a.nLevel, e);
     }},
    {"--method", FOR_ERASE,
     [](const std::string& v, T_CLI_ARGS& a, std::string& e) { return ParseMethod(v, a.nMethod, e); }},
    {"--check", FOR_WRITE,
     [](const std::string& v, T_CLI_ARGS& a, std::string& e) {
         if (v.empty()) e = "--check needs a digest file";
         a.strCheckFile = v;
         return !v.empty();
     }},
};

const T_VALUE_OPTION* FindValueOption(const std::string& a)
{
    for (const T_VALUE_OPTION& option : VALUE_OPTIONS) {
        const std::string strName = option.pName;
        if (a == strName || a.starts_with(strName + "=")) return &option;
    }
    return nullptr;
}

// Takes the option's value, from the same word or the next one.
bool TakeValue(const T_VALUE_OPTION& option, const std::vector<std::string>& argv, size_t& i, T_CLI_ARGS& args,
               std::string& strError)
{
    const std::string strName = option.pName;
    const std::string& a = argv[i];
    if (a == strName && i + 1 >= argv.size()) {
        strError = strName + " needs a value";
        return false;
    }
    const std::string strValue = a == strName ? argv[++i] : a.substr(strName.size() + 1);
    return option.pfnParse(strValue, args, strError);
}

// "erase" takes 1 to 4 drives; "list" and "methods" take nothing.
bool TakeDrivesOnly(const std::vector<std::string>& operands, T_CLI_ARGS& args, std::string& strError)
{
    if (args.eCommand == ECliCommand::Methods || args.eCommand == ECliCommand::List) {
        if (!operands.empty())
            strError = std::string(CommandName(args.eCommand)) + " takes no arguments, not \"" + operands[0] + "\"";
        return operands.empty();
    }
    if (operands.empty()) {
        strError = "erase needs at least one DRIVE";
    } else if (operands.size() > MAX_CLI_DRIVES) {
        strError = "too many drives: " + std::to_string(operands.size()) + " given, erase takes at most 4";
    }
    if (!strError.empty()) return false;
    args.arrDrives = operands;
    return true;
}

// "read" takes exactly two operands; the message says which are missing or
// which are too many.
bool TakeReadOperands(const std::vector<std::string>& operands, T_CLI_ARGS& args, std::string& strError)
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
    if (operands.size() != 2) return false;
    args.arrDrives = {operands[0]};
    args.strImage = operands[1];
    return true;
}

// "checksum" takes exactly one image.
bool TakeImage(const std::vector<std::string>& operands, T_CLI_ARGS& args, std::string& strError)
{
    if (operands.empty()) {
        strError = "checksum needs an IMAGE: it is missing";
    } else if (operands.size() > 1) {
        strError = "too many arguments:";
        for (size_t i = 1; i < operands.size(); ++i) strError += " \"" + operands[i] + "\"";
        strError += " (checksum takes one IMAGE)";
    }
    if (operands.size() != 1) return false;
    args.strImage = operands[0];
    return true;
}

// "write" and "verify" take the image, then 1 to 4 drives.
bool TakeImageAndDrives(const std::vector<std::string>& operands, T_CLI_ARGS& args, std::string& strError)
{
    const std::string strCommand = CommandName(args.eCommand);
    if (operands.empty()) {
        strError = strCommand + " needs an IMAGE and at least one DRIVE: both are missing";
    } else if (operands.size() == 1) {
        strError = "missing DRIVE after the IMAGE " + operands[0] + " (" + strCommand + " takes 1 to 4 drives)";
    } else if (operands.size() - 1 > MAX_CLI_DRIVES) {
        strError = "too many drives: " + std::to_string(operands.size() - 1) + " given, " + strCommand +
                   " takes at most 4";
    }
    if (!strError.empty()) return false;
    args.strImage = operands[0];
    args.arrDrives.assign(operands.begin() + 1, operands.end());
    return true;
}

bool TakeOperands(const std::vector<std::string>& operands, T_CLI_ARGS& args, std::string& strError)
{
    switch (args.eCommand) {
    case ECliCommand::Read: return TakeReadOperands(operands, args, strError);
    case ECliCommand::Checksum: return TakeImage(operands, args, strError);
    case ECliCommand::Erase:
    case ECliCommand::List:
    case ECliCommand::Methods: return TakeDrivesOnly(operands, args, strError);
    default: return TakeImageAndDrives(operands, args, strError);
    }
}

// An empty word names nothing: as an image it would become the current
// folder's name, as a drive no drive at all.
bool CheckNotEmpty(const T_CLI_ARGS& args, std::string& strError)
{
    const bool bTakesImage = args.eCommand != ECliCommand::Erase && args.eCommand != ECliCommand::List &&
                             args.eCommand != ECliCommand::Methods;
    if (bTakesImage && args.strImage.empty()) {
        strError = "the IMAGE is an empty word: give the image file's name";
        return false;
    }
    for (const std::string& strDrive : args.arrDrives) {
        if (!strDrive.empty()) continue;
        strError = "a DRIVE is an empty word: give a drive (disk:N) or its path";
        return false;
    }
    return true;
}

// A read's image format: --compress or --no-compress for a name that
// promises another format than gzip contradicts the name, and --level is
// for zstd images alone.
bool CheckReadFormat(const T_CLI_ARGS& args, std::string& strError)
{
    const std::optional<EImageFormat> ePromised = FormatPromisedByName(args.strImage);
    if (args.eCompress != ECompress::ByName && ePromised && *ePromised != EImageFormat::Gzip) {
        strError = FormatText("%s asks for %s image, but the name %s promises %s one: give one of them",
                              args.eCompress == ECompress::On ? "--compress" : "--no-compress",
                              ImageFormatWithArticle(ImageFormatAsked(args)), args.strImage,
                              ImageFormatWithArticle(*ePromised));
        return false;
    }
    if (args.nLevel != 0 && ImageFormatAsked(args) != EImageFormat::Zstd) {
        strError = FormatText("--level is the level of a zstd image (.zst), and %s is made as %s image",
                              args.strImage, ImageFormatWithArticle(ImageFormatAsked(args)));
        return false;
    }
    return true;
}

// Combinations that ask for two contradicting things.
bool CheckCombination(const T_CLI_ARGS& args, std::string& strError)
{
    if (args.bVerify && args.bMd5Verify) {
        strError = "--verify and --md5-verify are two ways of checking the write: give one of them";
        return false;
    }
    return args.eCommand != ECliCommand::Read || CheckReadFormat(args, strError);
}

// Reads the options and operands that follow the command word.
T_PARSE_RESULT ParseCommand(ECliCommand eCommand, const std::vector<std::string>& argv)
{
    T_PARSE_RESULT result;
    result.args.eCommand = eCommand;
    std::vector<std::string> operands;
    bool bOptionsEnd = false;
    for (size_t i = 2; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        const T_FLAG* pFlag = nullptr;
        const T_VALUE_OPTION* pValue = nullptr;
        if (bOptionsEnd || a.empty() || a[0] != '-' || a == "-") {
            operands.push_back(a);
        } else if (a == "--") {
            bOptionsEnd = true;
        } else if (a == "--help" || a == "-h") {
            result.args.eCommand = ECliCommand::Help;
            result.bOk = true;
            return result;
        } else if ((pValue = FindValueOption(a)) != nullptr && (pValue->nCommands & CommandBit(eCommand))) {
            if (!TakeValue(*pValue, argv, i, result.args, result.strError)) return result;
        } else if (pValue) {
            result.strError = std::string(CommandName(eCommand)) + " does not take the option " + pValue->pName;
            return result;
        } else if ((pFlag = FindFlag(a)) != nullptr && (pFlag->nCommands & CommandBit(eCommand))) {
            pFlag->pfnSet(result.args);
        } else if (pFlag) {
            result.strError = std::string(CommandName(eCommand)) + " does not take the option " + a;
            return result;
        } else {
            result.strError = "unknown option " + a;
            return result;
        }
    }
    result.bOk = TakeOperands(operands, result.args, result.strError) && CheckNotEmpty(result.args, result.strError) &&
                 CheckCombination(result.args, result.strError);
    return result;
}

}  // namespace

EImageFormat ImageFormatAsked(const T_CLI_ARGS& args)
{
    return FormatAsked(args.strImage, FormatAskOf(args));
}

EFormatAsk FormatAskOf(const T_CLI_ARGS& args)
{
    switch (args.eCompress) {
    case ECompress::On: return EFormatAsk::Gzip;
    case ECompress::Off: return EFormatAsk::Raw;
    case ECompress::ByName: break;
    }
    return EFormatAsk::ByName;
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
    for (ECliCommand eCommand : {ECliCommand::List, ECliCommand::Read, ECliCommand::Write, ECliCommand::Verify,
                                 ECliCommand::Erase, ECliCommand::Methods, ECliCommand::Checksum}) {
        if (strCommand == CommandName(eCommand)) return ParseCommand(eCommand, argv);
    }
    result.strError = "unknown command " + strCommand;
    return result;
}
