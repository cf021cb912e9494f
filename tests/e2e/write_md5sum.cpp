// gm-write-md5sum IMAGE DIGEST: writes IMAGE.md5sum with the 32-digit DIGEST,
// as the job runner does after a read, so that the end-to-end test can
// hand the file to other programs. Exit 0 written, 1 not, 2 usage error.
#include <cstdio>
#include <string>

#include "engine/checksum/md5sum_file.h"

int main(int argc, char** argv)
{
    T_MD5_DIGEST digest{};
    if (argc != 3 || std::string(argv[2]).size() != 32 || !ParseMd5SumLine(argv[2], digest)) {
        std::fputs("usage: gm-write-md5sum IMAGE DIGEST (32 hexadecimal digits)\n", stderr);
        return 2;
    }
    uint32_t nError = 0;
    if (WriteMd5SumFile(GetPlatformDevices(), argv[1], digest, nError)) return 0;
    std::fprintf(stderr, "gm-write-md5sum: %s.md5sum not written (error %u)\n", argv[1], nError);
    return 1;
}
