// MD5 digests: the RFC 1321 test suite, incremental updates in awkward
// chunk sizes, reuse of one hash object, and the digest's text form.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/md5.h"

namespace {

std::string DigestOf(const std::string& strInput)
{
    CMd5 md5;
    md5.Update(strInput.data(), strInput.size());
    return Md5Text(md5.Final());
}

std::vector<uint8_t> Pattern(size_t nSize)
{
    std::vector<uint8_t> data(nSize);
    uint32_t x = 0x9E3779B9u;
    for (uint8_t& b : data) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return data;
}

// Feeds the data in chunks that cycle through the given sizes.
T_MD5_DIGEST DigestInChunks(const std::vector<uint8_t>& data, const std::vector<size_t>& chunkSizes)
{
    CMd5 md5;
    size_t nPos = 0;
    for (size_t i = 0; nPos < data.size(); ++i) {
        const size_t n = std::min(chunkSizes[i % chunkSizes.size()], data.size() - nPos);
        md5.Update(data.data() + nPos, n);
        nPos += n;
    }
    return md5.Final();
}

}  // namespace

TEST(Md5, TheTestSuiteOfRfc1321)
{
    EXPECT_EQ(DigestOf(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(DigestOf("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(DigestOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(DigestOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(DigestOf("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(DigestOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(DigestOf("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, ChunkedUpdatesGiveTheDigestOfTheWhole)
{
    CMd5 valid;
    ASSERT_TRUE(valid.IsValid());
    const std::vector<uint8_t> data = Pattern(3 * 0x100000 + 17);
    const T_MD5_DIGEST whole = DigestInChunks(data, {data.size()});
    const std::vector<std::vector<size_t>> schedules = {
        {1}, {3, 7, 63}, {64}, {65, 55, 56, 57}, {4097, 1}, {0x100000 - 1},
    };
    for (const std::vector<size_t>& schedule : schedules) {
        EXPECT_EQ(DigestInChunks(data, schedule), whole) << "first chunk size " << schedule.front();
    }
}

TEST(Md5, EmptyUpdatesChangeNothing)
{
    CMd5 md5;
    md5.Update(nullptr, 0);
    md5.Update("ab", 2);
    md5.Update(nullptr, 0);
    md5.Update("c", 1);
    EXPECT_EQ(Md5Text(md5.Final()), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5, InitStartsAFreshDigestOnTheSameObject)
{
    CMd5 md5;
    md5.Update("some earlier data", 17);
    md5.Init();  // a half-done digest is dropped
    md5.Update("abc", 3);
    EXPECT_EQ(Md5Text(md5.Final()), "900150983cd24fb0d6963f7d28e17f72");
    md5.Init();  // and a finished one can be followed by another
    md5.Update("a", 1);
    EXPECT_EQ(Md5Text(md5.Final()), "0cc175b9c0f1b6a831c399e269772661");
}

TEST(Md5Text, ThirtyTwoLowerCaseDigitsInDigestOrderWithLeadingZeros)
{
    const T_MD5_DIGEST digest = {0x00, 0x01, 0x0a, 0x10, 0x7f, 0x80, 0xab, 0xcd,
                                 0xef, 0xf0, 0xff, 0x09, 0x90, 0x5e, 0xe5, 0x3c};
    EXPECT_EQ(Md5Text(digest), "00010a107f80abcdeff0ff09905ee53c");
    EXPECT_EQ(Md5Text(T_MD5_DIGEST{}), std::string(32, '0'));
}
