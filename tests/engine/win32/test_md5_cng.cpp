// The CNG digests share one algorithm provider across the process; objects
// on different threads must not disturb one another.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/md5.h"

namespace {

TEST(Win32Md5Cng, ObjectsOnManyThreadsAtOnceEachGetTheirOwnDigest)
{
    // Thread t hashes ten thousand copies of the letter 'a' + t, reusing one
    // object five times, while the others do the same with other letters.
    constexpr int THREADS = 4;
    std::vector<std::string> results(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([t, &results] {
            const std::string strData(10000, static_cast<char>('a' + t));
            CMd5 md5;
            std::string strFirst;
            for (int round = 0; round < 5; ++round) {
                md5.Init();
                for (size_t i = 0; i < strData.size(); i += 100) md5.Update(strData.data() + i, 100);
                const std::string strDigest = Md5Text(md5.Final());
                if (round == 0) strFirst = strDigest;
                if (strDigest != strFirst) strFirst = "unstable";
            }
            results[static_cast<size_t>(t)] = strFirst;
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < THREADS; ++t) {
        const std::string strData(10000, static_cast<char>('a' + t));
        CMd5 md5;
        md5.Update(strData.data(), strData.size());
        EXPECT_EQ(results[static_cast<size_t>(t)], Md5Text(md5.Final())) << "thread " << t;
    }
    EXPECT_NE(results[0], results[1]);
}

}  // namespace
