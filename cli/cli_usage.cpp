// The help text of every command and option.
#include "cli/cli_args.h"

namespace {

constexpr const char* LIST_SYNOPSIS = "gravelmoor-cli list\n";
constexpr const char* READ_SYNOPSIS =
    "gravelmoor-cli read [--unstable] [--yes] [--compress | --no-compress] [--verify]\n"
    "                          [--md5sum] [--eject] [--share-read] [--buffer MIB]\n"
    "                          [--threads N] [--level N] DRIVE IMAGE\n";
constexpr const char* WRITE_SYNOPSIS =
    "gravelmoor-cli write [--yes] [--force-write] [--diff-only] [--verify | --md5-verify]\n"
    "                          [--force-verify] [--compress | --no-compress] [--unstable]\n"
    "                          [--eject] [--share-read] [--buffer MIB] [--check DIGEST_FILE]\n"
    "                          IMAGE DRIVE...\n";
constexpr const char* VERIFY_SYNOPSIS =
    "gravelmoor-cli verify [--force-verify] [--unstable] [--compress | --no-compress]\n"
    "                          [--eject] [--share-read] [--buffer MIB] IMAGE DRIVE...\n";
constexpr const char* ERASE_SYNOPSIS =
    "gravelmoor-cli erase [--method ID] [--diff-only] [--yes] [--eject] [--buffer MIB]\n"
    "                          DRIVE...\n";
constexpr const char* METHODS_SYNOPSIS = "gravelmoor-cli methods\n";
constexpr const char* CHECKSUM_SYNOPSIS = "gravelmoor-cli checksum [--compress | --no-compress] IMAGE\n";

}  // namespace

std::string CliUsageLine(ECliCommand eCommand)
{
    const std::string strUsage = "Usage: ";
    switch (eCommand) {
    case ECliCommand::List: return strUsage + LIST_SYNOPSIS;
    case ECliCommand::Read: return strUsage + READ_SYNOPSIS;
    case ECliCommand::Write: return strUsage + WRITE_SYNOPSIS;
    case ECliCommand::Verify: return strUsage + VERIFY_SYNOPSIS;
    case ECliCommand::Erase: return strUsage + ERASE_SYNOPSIS;
    case ECliCommand::Methods: return strUsage + METHODS_SYNOPSIS;
    case ECliCommand::Checksum: return strUsage + CHECKSUM_SYNOPSIS;
    default:
        return strUsage + LIST_SYNOPSIS + "       " + READ_SYNOPSIS + "       " + WRITE_SYNOPSIS + "       " +
               VERIFY_SYNOPSIS + "       " + ERASE_SYNOPSIS + "       " + METHODS_SYNOPSIS + "       " +
               CHECKSUM_SYNOPSIS;
    }
}

std::string CliUsage()
{
    return CliUsageLine() +
           "\n"
           "list    lists the drives: the DRIVE selector of each (disk:N, ...), its\n"
           "        description, device path and size in bytes, and its partitions\n"
           "        with where they are mounted.\n"
           "read    reads the whole DRIVE into the new image file IMAGE and prints the\n"
           "        drive's MD5 digest (\"DISK MD5SUM=...\").\n"
           "write   writes IMAGE to 1 to 4 DRIVEs at the same time, after listing them\n"
           "        with their sizes and asking; every drive's old contents are lost.\n"
           "verify  compares 1 to 4 DRIVEs byte for byte with IMAGE.\n"
           "erase   overwrites 1 to 4 DRIVEs at the same time with the passes of one\n"
           "        erase method, after listing them with their sizes and asking.\n"
           "methods lists the erase methods: id, name, log line and passes.\n"
           "checksum\n"
           "        prints the MD5 digest and the size of IMAGE's data (of the\n"
           "        uncompressed data for a compressed image) and checks each digest\n"
           "        file beside IMAGE that exists: IMAGE.md5sum against the data's\n"
           "        MD5; IMAGE.sha256sum and IMAGE.sha256 against the SHA-256 of the\n"
           "        file as it is and of a compressed image's data, saying which\n"
           "        one matched: OK or NG for each.\n"
           "\n"
           "  DRIVE         a drive as 'list' shows it: disk:N, cdrom:N or (Windows)\n"
           "                floppy:A; or a path: a whole-disk device (for example\n"
           "                /dev/sdb or one of its /dev/disk/by-id links, which counts\n"
           "                as the listed drive it is) or a regular file; a partition\n"
           "                (/dev/sdb1) is refused; write, verify and erase take\n"
           "                existing drives only, each one once; a drive that holds\n"
           "                the running system (/, /boot, /usr, active swap) is never\n"
           "                written or erased; a file named like a selector is given\n"
           "                as ./disk:1\n"
           "  IMAGE         a raw image (.gmi, .dd or any other name: the drive's bytes)\n"
           "                or a compressed one (.gmz or .gz: one gzip stream of them;\n"
           "                .zst or .zstd: one zstd frame of them); read creates it, and\n"
           "                it must not be the drive itself, nor a device, nor named as\n"
           "                another format (.xz, .bz2, .zip are refused); write, verify\n"
           "                and checksum read it, and it must not be one of their\n"
           "                DRIVEs. They also read .xz and .bz2 images, and .zst ones of\n"
           "                several frames, as xz, zstd and bzip2 make them (several\n"
           "                blocks, frames or streams), and .zip archives of one file,\n"
           "                or of one .img, .iso, .bin, .dd or .gmi file beside files of\n"
           "                at most 1 MiB. The format comes from the name, and the\n"
           "                file's first bytes (a zip's directory) must show it, else\n"
           "                the job is refused; a raw name whose bytes look compressed\n"
           "                is read raw, with a warning\n"
           "\n"
           "Options:\n"
           "  --yes, -y     answer Yes to the question that guards data: whether read\n"
           "                replaces an existing IMAGE, whether write or erase goes\n"
           "                ahead; without it, and without a terminal to ask on, the\n"
           "                answer is No\n"
           "  --force-write write even when the image and a drive differ in size: the\n"
           "                shorter of the two lengths, over all drives, is written\n"
           "                (an image that holds only zeros past the drives' end needs\n"
           "                no force)\n"
           "  --diff-only   write only the 1 MiB units whose data differ on the drive\n"
           "  --method ID   erase: the erase method (default 1, one pass of 0x00); an ID\n"
           "                that 'methods' does not list runs method 1\n"
           "  --verify      after the write, compare every written drive with IMAGE;\n"
           "                read: after the read, compare the drive with IMAGE\n"
           "  --md5sum      read: afterwards write IMAGE.md5sum with the drive's MD5\n"
           "                digest, which checksum then checks\n"
           "  --eject       eject the media of the drives when the job ends\n"
           "  --share-read  read, write, verify: other programs may go on reading the\n"
           "                drives while the job runs\n"
           "  --md5-verify  after the write, read every written drive back and check its\n"
           "                MD5 digest against the image's instead\n"
           "  --check DIGEST_FILE\n"
           "                write: check the image against a published digest while it\n"
           "                is written: DIGEST_FILE holds lines as sha256sum or md5sum\n"
           "                write them (the one naming IMAGE's file name is taken, or\n"
           "                the only one) or a bare digest; 64 hexadecimal digits are a\n"
           "                SHA-256, 32 an MD5. It may be the digest of the file as it\n"
           "                is or of a compressed image's data. A file that cannot be\n"
           "                read or holds no digest for IMAGE refuses the job; a digest\n"
           "                that matches neither makes every drive NG\n"
           "  --force-verify\n"
           "                compare even where the image's length and the drive's\n"
           "                differ, over the length both have\n"
           "  --unstable    unstable-media mode for drive reads (read, and the compare of\n"
           "                verify and write --verify): 4096 bytes at a time, a block is\n"
           "                accepted only when 4 consecutive reads agree\n"
           "  --compress, --no-compress\n"
           "                the image is compressed (gzip) or raw, whatever its name;\n"
           "                by default every command takes the name's format; read\n"
           "                refuses either option for a name of another format than\n"
           "                gzip (.zst)\n"
           "  --buffer MIB  memory for blocks in flight, in MiB (1 MiB blocks; 16 to\n"
           "                65536); by default the \"Buffer\" setting of gravelmoor.ini,\n"
           "                else 16; more than 75% of the available memory is lowered\n"
           "                to that, with a warning\n"
           "  --threads N   read: compress a compressed image on N threads (1 to 64);\n"
           "                by default for .gmz one per core, leaving one core to the\n"
           "                drive reader and the digest on a machine of more than two,\n"
           "                for .zst one per core (libzstd's own worker threads)\n"
           "  --level N     read: the zstd level of a .zst image (1 to 19; default 3);\n"
           "                refused for any other image\n"
           "  --help, -h    show this help\n"
           "\n"
           "Log lines go to standard output (to standard error when standard output\n"
           "cannot be written); write, verify and erase end with one line per\n"
           "drive, OK or NG; why a drive is NG, the [ERROR] and [WARNING] lines\n"
           "before it say. Progress goes to standard error when it is a\n"
           "terminal: one line kept up to date, or a line per tenth of the job when\n"
           "standard output is a pipe or TERM is dumb. NO_COLOR (any value) turns\n"
           "colour off.\n"
           "\n"
           "Ctrl-C (SIGINT), SIGTERM or SIGHUP stops the job: a read keeps its image\n"
           "and says how many of the drive's bytes it holds; a stopped write leaves\n"
           "the drives partly written, and so does a stopped erase. A stop while\n"
           "write or erase asks answers No. The stop is answered at once on\n"
           "standard error; a drive that stopped answering keeps the job waiting,\n"
           "which is said after 5 seconds. A second Ctrl-C ends the program at\n"
           "once.\n"
           "\n"
           "Exit status: 0 the job succeeded on every drive (checksum: the digest was\n"
           "computed and no digest file disagrees), 1 it failed (or was refused, or\n"
           "standard output could not be written), 2 usage error; 130, 143 or 129\n"
           "stopped by SIGINT, SIGTERM or SIGHUP.\n";
}
