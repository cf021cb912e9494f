// A text file's line end on Windows, as a file written in text mode has it.
#include "engine/checksum/md5sum_file.h"

std::string_view Md5SumLineEnd()
{
    return "\r\n";
}
