#pragma once
// The command line of gravelmoor-cli.
#include <cstdint>
#include <string>
#include <vector>

enum class ECliCommand { None, Help, Read };

struct T_CLI_ARGS {
    ECliCommand eCommand = ECliCommand::None;
    bool bUnstable = false;
    bool bYes = false;
    // --compress / --no-compress; unset: on exactly when IMAGE ends in .gmz.
    enum class ECompress { ByName, On, Off } eCompress = ECompress::ByName;
    uint32_t nBufferMiB = 16;
    std::string strDrive;
    std::string strImage;
};

struct T_PARSE_RESULT {
    bool bOk = false;
    T_CLI_ARGS args;
    std::string strError;  // why the command line was refused
};

constexpr uint32_t MIN_BUFFER_MIB = 16;
constexpr uint32_t MAX_BUFFER_MIB = 65536;

T_PARSE_RESULT ParseCliArgs(const std::vector<std::string>& argv);
// Whether the image is compressed: as asked, else by its name (".gmz" in
// any case).
bool WantsCompression(const T_CLI_ARGS& args);
// The full help text, and its first line alone (shown after a usage error).
std::string CliUsage();
std::string CliUsageLine();
