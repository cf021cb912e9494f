#pragma once
// The command line of gravelmoor-cli: the commands list, read, write,
// verify, erase, methods and checksum, their options and operands. Parsing only looks at the words; whether the
// files and drives exist is the commands' business.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/codecs/image_format.h"

enum class ECliCommand { None, Help, List, Read, Write, Verify, Erase, Methods, Checksum };

struct T_CLI_ARGS {
    ECliCommand eCommand = ECliCommand::None;
    bool bUnstable = false;     // unstable-media mode for the drive reads
    bool bYes = false;          // answer Yes to the question that guards data
    bool bForceWrite = false;   // write: go on when the image and a drive differ in size
    bool bDiffOnly = false;     // write, erase: write only the 1 MiB units that differ
    bool bVerify = false;       // read, write: compare the drives with the image afterwards
    bool bMd5Verify = false;    // write: read the written drives back for their digest instead
    bool bForceVerify = false;  // compare a compressed image even where the lengths differ
    bool bEject = false;        // read, write, verify, erase: eject the drives' media at the end
    bool bShareRead = false;    // read, write, verify: others may go on reading the drives meanwhile
    bool bMd5Sum = false;       // read: write IMAGE.md5sum beside the image afterwards
    // --compress / --no-compress: the image is gzip / raw. Unset: the format
    // IMAGE's name promises (ImageFormatAsked); a read refuses either option
    // for a name that promises another format than gzip.
    enum class ECompress { ByName, On, Off } eCompress = ECompress::ByName;
    // --buffer in MiB; 0 when not given (the settings file's "Buffer" then
    // counts: DefaultBufferMiB in cli_buffer.h).
    uint32_t nBufferMiB = 0;
    uint32_t nMethod = 1;  // erase: the erase method's id
    uint32_t nThreads = 0;  // read: compression threads; 0: the machine's default
    std::string strCheckFile;  // write: the digest file the image is checked against; empty: none
    uint32_t nLevel = 0;    // read: a zstd image's level; 0: not given (the default)
    // read: exactly one; write, verify and erase: 1 to MAX_CLI_DRIVES; list,
    // methods and checksum: none. Each a selector (disk:N, cdrom:N,
    // floppy:X) or a path: cli_drive_selector.h.
    std::vector<std::string> arrDrives;
    std::string strImage;
};

struct T_PARSE_RESULT {
    bool bOk = false;
    T_CLI_ARGS args;
    std::string strError;  // why the command line was refused
};

constexpr uint32_t MIN_BUFFER_MIB = 16;
constexpr uint32_t MAX_BUFFER_MIB = 65536;
constexpr uint32_t MAX_CLI_THREADS = 64;
// The most drives one write, verify or erase takes.
constexpr size_t MAX_CLI_DRIVES = 4;

T_PARSE_RESULT ParseCliArgs(const std::vector<std::string>& argv);
// The image's format as asked: gzip or raw by --compress / --no-compress,
// else the one its name promises (.gmz and .gz gzip, .zst zstd, ... in any
// case; raw when it promises none).
EImageFormat ImageFormatAsked(const T_CLI_ARGS& args);
// How write, verify and checksum ask for the image's format: gzip or raw
// as asked, else by its name.
EFormatAsk FormatAskOf(const T_CLI_ARGS& args);
// The full help text, and the synopsis alone (shown after a usage error):
// of one command, or of every command for ECliCommand::None.
std::string CliUsage();
std::string CliUsageLine(ECliCommand eCommand = ECliCommand::None);
