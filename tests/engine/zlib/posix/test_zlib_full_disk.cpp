// A real file system with no room left (/dev/full): the writer gives the
// system's ENOSPC back at once. Images that the gzip tools test and read
// back: test_parallel_deflate.cpp and the end-to-end read test.
#include <cerrno>

#include "tests/engine/zlib/zlib_test_support.h"

TEST(ZlibFullDiskTest, WriteToAFullFileSystemFailsWithNoSpace)
{
    CZLIBIO zlib;
    ASSERT_TRUE(zlib.IsLoaded());
    uint32_t nError = 0;
    auto pFull = GetPlatformDevices().Open("/dev/full", EOpenMode::CreateImageAlways, nError);
    if (!pFull) GTEST_SKIP() << "/dev/full cannot be opened: error " << nError;
    const CZLIBIO::T_RESULT result = WriteImage(zlib, *pFull, RandomBytes(2 * MIB, 8));
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.nZlibResult, Z_ERRNO);
    EXPECT_EQ(result.nError, static_cast<uint32_t>(ENOSPC));
}
