// MD5 digests: the RFC 1321 test suite, incremental updates in awkward chunk
// sizes, reuse of one hash object, and objects on several threads at once.
// The suite's digests check the text form too.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "engine/core/md5.h"
#include "tests/engine/test_helpers.h"

namespace {

// Starts afresh and digests the data fed in chunks of the given sizes in turn.
std::string DigestInChunks(CMd5& md5, const std::vector<uint8_t>& data, const std::vector<size_t>& chunkSizes)
{
    md5.Init();
    for (size_t i = 0, nPos = 0; nPos < data.size(); ++i) {
        const size_t n = std::min(chunkSizes[i % chunkSizes.size()], data.size() - nPos);
        md5.Update(data.data() + nPos, n);
        nPos += n;
    }
    return Md5Text(md5.Final());
}

}  // namespace

TEST(Md5, TheTestSuiteOfRfc1321)
{
    const std::pair<std::string, std::string> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [strInput, strDigest] : suite) {
        CMd5 md5;
        ASSERT_TRUE(md5.IsValid());
        md5.Update(strInput.data(), strInput.size());
        EXPECT_EQ(Md5Text(md5.Final()), strDigest) << strInput;
    }
}

TEST(Md5, ChunkedUpdatesOnOneReusedObjectGiveTheDigestOfTheWhole)
{
    const std::vector<uint8_t> data = Pattern(3 * 0x100000 + 17, 1);
    CMd5 md5;
    const std::string strWhole = DigestInChunks(md5, data, {data.size()});
    const std::vector<std::vector<size_t>> schedules = {
        {1}, {3, 0, 7, 63}, {64}, {65, 55, 56, 57}, {4097, 1}, {0x100000 - 1},
    };
    for (const std::vector<size_t>& schedule : schedules) {
        md5.Update("a half-done digest is dropped", 29);
        EXPECT_EQ(DigestInChunks(md5, data, schedule), strWhole) << "first chunk size " << schedule.front();
    }
}

TEST(Md5, ObjectsOnSeveralThreadsAtOnceEachGetTheirOwnDigest)
{
    // The platform may share hashing state across the process; each thread
    // reuses its one object three times.
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([t, &results] {
            CMd5 md5;
            const std::vector<uint8_t> data = Pattern(100000, static_cast<uint8_t>(t));
            for (int round = 0; round < 3; ++round) results[t] += DigestInChunks(md5, data, {100}) + " ";
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (size_t t = 0; t < results.size(); ++t) {
        CMd5 md5;
        const std::string strAlone = DigestInChunks(md5, Pattern(100000, static_cast<uint8_t>(t)), {100000}) + " ";
        EXPECT_EQ(results[t], strAlone + strAlone + strAlone) << "thread " << t;
    }
}
