// The run-time binding of zlib: the first user loads the library, the last
// one frees it, and a missing library or entry point turns compression off
// and nothing else.
#include <thread>

#include "tests/engine/zlib/zlib_test_support.h"

namespace {

const std::string NO_SUCH_LIBRARY = "gm-no-such-zlib-library";

class ZlibBindingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ZlibBinding::LinkCount(), 0u) << "an earlier test kept a link"; }
    void TearDown() override
    {
        ZlibBinding::SetLibraryNames({});
        ZlibBinding::SetMissingEntryPoints({});
        EXPECT_EQ(ZlibBinding::LinkCount(), 0u);
        EXPECT_FALSE(ZlibBinding::IsLoaded());
    }
    // Data through a stream and back: the binding works.
    static bool RoundTrips()
    {
        const std::vector<uint8_t> data = Prose(3000, 1);
        return ReadFromMemory(CompressToMemory(data)).data == data;
    }
};

// The application's own link keeps the library loaded between jobs, and a
// later user loads it again.
TEST_F(ZlibBindingTest, FirstUserLoadsTheLibraryAndTheLastOneFreesIt)
{
    {
        CZLIBIO first;
        { CZLIBIO second; }
        EXPECT_TRUE(first.IsLoaded() && ZlibBinding::IsLoaded() && ZlibBinding::LinkCount() == 1);
    }
    EXPECT_FALSE(ZlibBinding::IsLoaded());
    ASSERT_NE(ZlibBinding::Link(), nullptr);
    { CZLIBIO job; }
    EXPECT_TRUE(ZlibBinding::IsLoaded());
    ZlibBinding::Unlink();
    ZlibBinding::Unlink();  // no link left: nothing to drop
    EXPECT_FALSE(ZlibBinding::IsLoaded());
    CZLIBIO later;
    EXPECT_TRUE(later.IsLoaded() && RoundTrips());
}

// No library, or one lacking an entry point, turns compression off and
// nothing else; the first name that loads decides, even when a later one
// would do, and a failed load takes no link. A missing name is passed over.
TEST_F(ZlibBindingTest, WithoutALibraryOrWithOneLackingAnEntryPointCompressionIsOffAndNothingElse)
{
    std::string strName;
    { CZLIBIO zlib; strName = ZlibBinding::LibraryName(); }
    for (const auto& names : {std::vector<std::string>{NO_SUCH_LIBRARY},
                              std::vector<std::string>{GM_ZLIB_WITHOUT_INFLATE_END, strName}}) {
        SCOPED_TRACE(names.front());
        ZlibBinding::SetLibraryNames(names);
        CZLIBIO zlib;
        EXPECT_FALSE(zlib.IsLoaded() || ZlibBinding::IsLoaded());
        EXPECT_EQ(ZlibBinding::LinkCount(), 0u);
        const std::vector<uint8_t> original(64, 0xA5);
        T_FAKE_FILE file(std::make_shared<CFakeDisk>(original));
        EXPECT_EQ(zlib.InitWrite(*file.pFile).nZlibResult, Z_VERSION_ERROR);
        EXPECT_FALSE(zlib.WriteCompressFile(original.data(), 64).bOk || zlib.CommitWrite().bOk);
        EXPECT_FALSE(zlib.InitRead(*file.pFile).bOk);
        uint8_t block[16];
        uint32_t nProduced = 99;
        EXPECT_FALSE(zlib.ReadCompressFile(block, sizeof block, nProduced).bOk);
        EXPECT_EQ(nProduced, 0u);
        zlib.Release();
        EXPECT_EQ(file.pDisk->Contents(), original);
    }
    ZlibBinding::SetLibraryNames({NO_SUCH_LIBRARY});
    auto pUnlinked = std::make_unique<CZLIBIO>();
    ZlibBinding::SetLibraryNames({NO_SUCH_LIBRARY, strName, GM_ZLIB_WITHOUT_INFLATE_END});
    CZLIBIO zlib;
    EXPECT_TRUE(zlib.IsLoaded());
    EXPECT_EQ(ZlibBinding::LibraryName(), strName);
    pUnlinked.reset();  // a user whose link failed does not drop another user's link
    EXPECT_EQ(ZlibBinding::LinkCount(), 1u);
    EXPECT_TRUE(RoundTrips());
}

// The entry points beyond the nine are bound when the library has them;
// lacking them leaves compression on, only not on several threads.
TEST_F(ZlibBindingTest, ExtrasAreBoundWhereTheLibraryHasThemAndNotNeeded)
{
    {
        CZLIBIO zlib;
        EXPECT_EQ(CParallelDeflate::MissingEntryPoints(zlib.EntryPoints()), "");
    }
    ZlibBinding::SetMissingEntryPoints({"crc32", "deflateReset"});
    CZLIBIO zlib;
    EXPECT_EQ(CParallelDeflate::MissingEntryPoints(zlib.EntryPoints()), "deflateReset, crc32");
    EXPECT_TRUE(RoundTrips());
}

TEST_F(ZlibBindingTest, UsersOnManyThreadsLinkAndUnlinkInBalance)
{
    std::atomic<int> nUnloaded{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) nUnloaded += CZLIBIO().IsLoaded() ? 0 : 1;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(nUnloaded.load(), 0);
}

}  // namespace
