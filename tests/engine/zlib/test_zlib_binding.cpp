// The run-time binding of zlib: the first user loads the library, the last
// one frees it, every step leaves its trace line, and a missing library or
// entry point turns compression off and nothing else.
#include <atomic>
#include <thread>

#include "tests/engine/zlib/zlib_test_support.h"
#include "engine/zlib/parallel_deflate.h"
#include "engine/zlib/shared_library.h"

namespace {

const std::string NO_SUCH_LIBRARY = "gm-no-such-zlib-library";

const std::vector<std::string> FIRST_USER_COMES_AND_GOES = {
    "CZLIBIO::LOAD\n", "CZLIBIO::LINK\n", "CZLIBIO::CZLIBIO()\n",
    "CZLIBIO::~CZLIBIO()\n", "CZLIBIO::UNLINK\n", "CZLIBIO::FREE\n",
};

class ZlibBindingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ZlibBinding::LinkCount(), 0u) << "an earlier test kept a link";
        ASSERT_FALSE(ZlibBinding::IsLoaded());
    }
    void TearDown() override
    {
        ZlibBinding::SetLibraryNames({});
        ZlibBinding::SetMissingEntryPoints({});
        EXPECT_EQ(ZlibBinding::LinkCount(), 0u);
        EXPECT_FALSE(ZlibBinding::IsLoaded());
    }

    // The name under which this platform's zlib loads.
    static std::string LoadableName()
    {
        CZLIBIO zlib;
        return ZlibBinding::LibraryName();
    }

    // A stream cannot start without the library, and the file stays as it was.
    static void ExpectNoStreams(CZLIBIO& zlib)
    {
        const std::vector<uint8_t> original(64, 0xA5);
        T_FAKE_FILE file(std::make_shared<CFakeDisk>(original));
        const CZLIBIO::T_RESULT write = zlib.InitWrite(*file.pFile);
        EXPECT_FALSE(write.bOk);
        EXPECT_EQ(write.nZlibResult, Z_VERSION_ERROR);
        EXPECT_FALSE(zlib.WriteCompressFile(original.data(), 64).bOk);
        EXPECT_FALSE(zlib.CommitWrite().bOk);
        EXPECT_FALSE(zlib.InitRead(*file.pFile).bOk);
        uint8_t block[16];
        uint32_t nProduced = 99;
        EXPECT_FALSE(zlib.ReadCompressFile(block, sizeof block, nProduced).bOk);
        EXPECT_EQ(nProduced, 0u);
        zlib.Release();
        EXPECT_EQ(file.pDisk->Contents(), original);
    }
};

}  // namespace

// The first user loads the library, the last one frees it; the
// application's own link keeps it loaded between jobs, and a later user
// loads it again.
TEST_F(ZlibBindingTest, FirstUserLoadsTheLibraryAndTheLastOneFreesIt)
{
    CTraceCapture trace;
    {
        CZLIBIO first;
        {
            CZLIBIO second;
            EXPECT_EQ(ZlibBinding::LinkCount(), 2u);
        }
        EXPECT_TRUE(first.IsLoaded() && ZlibBinding::IsLoaded() && ZlibBinding::LinkCount() == 1);
    }
    const std::vector<std::string> expected = {
        "CZLIBIO::LOAD\n",       "CZLIBIO::LINK\n",   "CZLIBIO::CZLIBIO()\n", "CZLIBIO::LINK\n",
        "CZLIBIO::CZLIBIO()\n",  "CZLIBIO::~CZLIBIO()\n", "CZLIBIO::UNLINK\n", "CZLIBIO::~CZLIBIO()\n",
        "CZLIBIO::UNLINK\n",     "CZLIBIO::FREE\n",
    };
    EXPECT_EQ(trace.Lines(), expected);

    ASSERT_NE(ZlibBinding::Link(), nullptr);
    { CZLIBIO job; }
    EXPECT_TRUE(ZlibBinding::IsLoaded());
    ZlibBinding::Unlink();
    EXPECT_FALSE(ZlibBinding::IsLoaded());
    ZlibBinding::Unlink();  // no link left: nothing to drop
    EXPECT_EQ(ZlibBinding::LinkCount(), 0u);
    CTraceCapture again;
    { CZLIBIO later; }
    EXPECT_EQ(again.Lines(), FIRST_USER_COMES_AND_GOES);
}

TEST_F(ZlibBindingTest, NamesAreTriedInOrderUntilOneLoads)
{
    const std::string strName = LoadableName();
    ZlibBinding::SetLibraryNames({NO_SUCH_LIBRARY, strName, GM_ZLIB_WITHOUT_INFLATE_END});
    CZLIBIO zlib;
    EXPECT_TRUE(zlib.IsLoaded());
    EXPECT_EQ(ZlibBinding::LibraryName(), strName);
}

// No library, or one lacking an entry point, turns compression off and
// nothing else; the first name that loads decides, even when a later one
// would do, and a failed load takes no link.
TEST_F(ZlibBindingTest, WithoutALibraryOrWithOneLackingAnEntryPointCompressionIsOffAndNothingElse)
{
    for (const auto& names : {std::vector<std::string>{NO_SUCH_LIBRARY},
                              std::vector<std::string>{GM_ZLIB_WITHOUT_INFLATE_END},
                              std::vector<std::string>{GM_ZLIB_WITHOUT_INFLATE_END, LoadableName()}}) {
        SCOPED_TRACE(names.front() + " and " + std::to_string(names.size() - 1) + " more");
        ZlibBinding::SetLibraryNames(names);
        CZLIBIO zlib;
        EXPECT_FALSE(zlib.IsLoaded());
        EXPECT_FALSE(ZlibBinding::IsLoaded());
        EXPECT_EQ(ZlibBinding::LinkCount(), 0u);
        EXPECT_EQ(ZlibBinding::LibraryName(), "");
        ExpectNoStreams(zlib);
    }
}

// The entry points beyond the nine are bound when the library has them;
// lacking them leaves compression on, only not on several threads.
TEST_F(ZlibBindingTest, ExtrasAreBoundWhereTheLibraryHasThemAndNotNeeded)
{
    {
        CZLIBIO zlib;
        ASSERT_TRUE(zlib.IsLoaded());
        EXPECT_EQ(CParallelDeflate::MissingEntryPoints(zlib.EntryPoints()), "");
    }
    ZlibBinding::SetMissingEntryPoints({"crc32", "deflateReset"});
    CZLIBIO zlib;
    EXPECT_TRUE(zlib.IsLoaded());
    EXPECT_EQ(CParallelDeflate::MissingEntryPoints(zlib.EntryPoints()), "deflateReset, crc32");
    const std::vector<uint8_t> data = TextLike(3000);
    EXPECT_EQ(ReadFromMemory(CompressToMemory(data)).data, data);
}

TEST_F(ZlibBindingTest, UserWhoseLinkFailedDoesNotDropAnotherUsersLink)
{
    ZlibBinding::SetLibraryNames({NO_SUCH_LIBRARY});
    auto pUnlinked = std::make_unique<CZLIBIO>();
    ZlibBinding::SetLibraryNames({});
    CZLIBIO linked;
    ASSERT_TRUE(linked.IsLoaded());
    pUnlinked.reset();
    EXPECT_EQ(ZlibBinding::LinkCount(), 1u);
    EXPECT_TRUE(ZlibBinding::IsLoaded());
    const std::vector<uint8_t> data = TextLike(3000);
    EXPECT_EQ(ReadFromMemory(CompressToMemory(data)).data, data);  // still bound and working
}

TEST_F(ZlibBindingTest, UsersOnManyThreadsLinkAndUnlinkInBalance)
{
    std::atomic<int> nUnloaded{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                CZLIBIO zlib;
                if (!zlib.IsLoaded()) ++nUnloaded;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(nUnloaded.load(), 0);
}
