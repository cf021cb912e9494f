// The help text of every command and option.
#include "cli/cli_args.h"

namespace {

constexpr const char* READ_SYNOPSIS = "gravelmoor-cli read [--unstable] [--yes] [--compress | --no-compress]\n"
                                      "                          [--buffer MIB] [--threads N] DRIVE IMAGE\n";
constexpr const char* WRITE_SYNOPSIS =
    "gravelmoor-cli write [--yes] [--force-write] [--diff-only] [--verify | --md5-verify]\n"
    "                          [--force-verify] [--compress | --no-compress] [--unstable]\n"
    "                          [--buffer MIB] IMAGE DRIVE...\n";
constexpr const char* VERIFY_SYNOPSIS =
    "gravelmoor-cli verify [--force-verify] [--unstable] [--compress | --no-compress]\n"
    "                          [--buffer MIB] IMAGE DRIVE...\n";

}  // namespace

std::string CliUsageLine(ECliCommand eCommand)
{
    const std::string strUsage = "Usage: ";
    switch (eCommand) {
    case ECliCommand::Read: return strUsage + READ_SYNOPSIS;
    case ECliCommand::Write: return strUsage + WRITE_SYNOPSIS;
    case ECliCommand::Verify: return strUsage + VERIFY_SYNOPSIS;
    default: return strUsage + READ_SYNOPSIS + "       " + WRITE_SYNOPSIS + "       " + VERIFY_SYNOPSIS;
    }
}

std::string CliUsage()
{
    return CliUsageLine() +
           "\n"
           "read    reads the whole DRIVE into the new image file IMAGE and prints the\n"
           "        drive's MD5 digest (\"DISK MD5SUM=...\").\n"
           "write   writes IMAGE to 1 to 4 DRIVEs at the same time, after listing them\n"
           "        with their sizes and asking; every drive's old contents are lost.\n"
           "verify  compares 1 to 4 DRIVEs byte for byte with IMAGE.\n"
           "\n"
           "  DRIVE         a whole-disk device (for example /dev/sdb) or a regular file;\n"
           "                write and verify take existing drives only, each one once\n"
           "  IMAGE         a raw image (.gmi or .dd: the drive's bytes) or a compressed\n"
           "                one (.gmz: one gzip stream of them); read creates it, and it\n"
           "                must not be the drive itself, nor a device; write and verify\n"
           "                read it, and it must not be one of their DRIVEs\n"
           "\n"
           "Options:\n"
           "  --yes, -y     answer Yes to the question that guards data: whether read\n"
           "                replaces an existing IMAGE, whether write goes ahead; without\n"
           "                it, and without a terminal to ask on, the answer is No\n"
           "  --force-write write even when the raw image and a drive differ in size:\n"
           "                the shorter of the two lengths, over all drives, is written\n"
           "  --diff-only   write only the 1 MiB units whose data differ on the drive\n"
           "  --verify      after the write, compare every written drive with IMAGE\n"
           "  --md5-verify  after the write, read every written drive back and check its\n"
           "                MD5 digest against the image's instead\n"
           "  --force-verify\n"
           "                compare a compressed image even where its length and the\n"
           "                drive's differ, over the length both have\n"
           "  --unstable    unstable-media mode for drive reads (read, and the compare of\n"
           "                verify and write --verify): 4096 bytes at a time, a block is\n"
           "                accepted only when 4 consecutive reads agree\n"
           "  --compress, --no-compress\n"
           "                the image is compressed (gzip) or raw; by default it is\n"
           "                compressed exactly when its name ends in .gmz\n"
           "  --buffer MIB  memory for blocks in flight, in MiB (1 MiB blocks; 16 to\n"
           "                65536, default 16); more than 75% of the available memory\n"
           "                is lowered to that, with a warning\n"
           "  --threads N   read: compress a compressed image on N threads (1 to 64);\n"
           "                by default one per core, leaving one core to the drive\n"
           "                reader and the digest on a machine of more than two\n"
           "  --help, -h    show this help\n"
           "\n"
           "Log lines go to standard output (to standard error when standard output\n"
           "cannot be written); write and verify end with one line per drive, OK or NG\n"
           "and why. Progress goes to standard error when it is a terminal: one line\n"
           "kept up to date, or a line per tenth of the job when standard output is a\n"
           "pipe or TERM is dumb. NO_COLOR (any value) turns colour off.\n"
           "\n"
           "Ctrl-C (SIGINT), SIGTERM or SIGHUP stops the job: a read keeps its image\n"
           "and says how many of the drive's bytes it holds; a stopped write leaves\n"
           "the drives partly written. A stop while write asks answers No. A second\n"
           "Ctrl-C ends the program at once.\n"
           "\n"
           "Exit status: 0 the job succeeded on every drive, 1 it failed (or was\n"
           "refused, or standard output could not be written), 2 usage error; 130, 143\n"
           "or 129 stopped by SIGINT, SIGTERM or SIGHUP.\n";
}
