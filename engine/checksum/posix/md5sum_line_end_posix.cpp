// A text file's line end on POSIX systems.
#include "engine/checksum/md5sum_file.h"

std::string_view Md5SumLineEnd()
{
    return "\n";
}
