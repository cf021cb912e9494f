// What an image file may hold, read by the sequential stream and by the
// inflate pipeline (with its own CRC check and with zlib's): a whole
// member, one written in parallel, headers with every optional field,
// members cut short, damaged in each part, followed by a second member or
// by zeros. Every reader gives the same verdict, and up to the damage only
// the image's own bytes; the pipeline stops in the middle without leaving a
// thread behind.
#include "engine/core/system_error.h"
#include "engine/zlib/inflate_pipeline.h"
#include "tests/engine/test_helpers.h"
#include "tests/engine/zlib/zlib_test_support.h"

namespace {

constexpr int ANY_FAILURE = 1;  // a verdict whose zlib result is not pinned down

T_READ_BACK ReadThroughPipeline(std::shared_ptr<CFakeDisk> pImage, const T_ZLIB_ENTRY_POINTS* pZlib,
                                uint32_t nBlock = MIB)
{
    T_FAKE_FILE file(std::move(pImage));
    CInflatePipeline pipeline;
    const bool bStarted = pipeline.Start(*file.pFile, pZlib);
    EXPECT_TRUE(bStarted) << "the pipeline did not start";
    return ReadBlocks(CZLIBIO::T_RESULT{bStarted, Z_OK, 0}, [&](uint8_t* p, uint32_t n, uint32_t& nGot) {
        return pipeline.Read(p, n, nGot);
    }, nBlock);
}

bool IsPrefix(const std::vector<uint8_t>& part, const std::vector<uint8_t>& whole)
{
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// A member whose header carries an extra field, a name, a comment and its
// own CRC-16 (wrong when bBadCrc).
std::vector<uint8_t> WithFullHeader(const T_ZLIB_ENTRY_POINTS& z, const std::vector<uint8_t>& image, bool bBadCrc)
{
    std::vector<uint8_t> header(image.begin(), image.begin() + GZIP_HEADER_SIZE);
    header[3] = 0x02 | 0x04 | 0x08 | 0x10;
    const std::string strFields("\x04\x00" "abcd" "disk.img\0" "hi\0", 2 + 4 + 9 + 3);  // extra, name, comment
    header.insert(header.end(), strFields.begin(), strFields.end());
    const auto nCrc = static_cast<uint32_t>(z.extra.crc32(0, header.data(), static_cast<uInt>(header.size())));
    header.push_back(static_cast<uint8_t>(nCrc ^ (bBadCrc ? 1 : 0)));
    header.push_back(static_cast<uint8_t>(nCrc >> 8));
    header.insert(header.end(), image.begin() + GZIP_HEADER_SIZE, image.end());
    return header;
}

struct T_CASE {
    std::string strName;
    std::vector<uint8_t> image;
    int nResult;  // 0: read whole; else the failing step's zlib result, or ANY_FAILURE
    std::vector<uint8_t> first;  // the data it holds in front of any damage, when known
};

class GzipMemberTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_zlib.IsLoaded()) << "no zlib library to test with";
        ASSERT_NE(m_zlib.EntryPoints()->extra.crc32, nullptr);
        m_image = CompressToMemory(m_data);
    }

    std::vector<T_CASE> Cases() const
    {
        const T_ZLIB_ENTRY_POINTS& z = *m_zlib.EntryPoints();
        const size_t n = m_image.size();
        const std::vector<uint8_t> small = Prose(5000, 1), smallImage = CompressToMemory(small);
        std::vector<T_CASE> cases = {
            {"whole", m_image, 0, m_data},
            {"written in parallel", ParallelCompressToMemory(m_data, 2), 0, m_data},
            {"empty file", {}, 0, {}},
            {"full header", WithFullHeader(z, m_image, false), 0, m_data},
            {"wrong header CRC", WithFullHeader(z, m_image, true), ANY_FAILURE, {}},
            {"not compressed", RandomBytes(5000, 3), ANY_FAILURE, {}},
            {"second member", smallImage, CZLIBIO::NEXT_MEMBER, small},
            {"zero padding", m_image, Z_DATA_ERROR, m_data},
            {"reserved flag", m_image, ANY_FAILURE, {}},
        };
        cases[6].image.insert(cases[6].image.end(), smallImage.begin(), smallImage.end());
        cases[7].image.resize(n + 512);  // as if padded to a sector
        cases[8].image[3] = 0x20;
        for (size_t nKeep : {size_t{5}, size_t{10}, n / 2, n - 8, n - 4, n - 1})
            cases.push_back({"cut to " + std::to_string(nKeep), {m_image.begin(), m_image.begin() + nKeep}, Z_BUF_ERROR, {}});
        const std::pair<const char*, size_t> places[] = {{"method", 2}, {"deflate data", n / 3}, {"CRC-32", n - 6},
                                                         {"length", n - 2}};
        for (const auto& [pszPlace, nOffset] : places) {
            cases.push_back({std::string("damaged ") + pszPlace, m_image, Z_DATA_ERROR, {}});
            cases.back().image[nOffset] ^= 0x5A;
        }
        return cases;
    }

    CZLIBIO m_zlib;
    const std::vector<uint8_t> m_data = Prose(3 * MIB + 99, 5);
    std::vector<uint8_t> m_image;
};

}  // namespace

TEST_F(GzipMemberTest, EveryReaderGivesEachImageItsVerdictAndOnlyTheImagesOwnBytes)
{
    T_ZLIB_ENTRY_POINTS withoutCrc = *m_zlib.EntryPoints();
    withoutCrc.extra.crc32 = nullptr;  // zlib checks on the inflating thread
    for (const T_CASE& c : Cases()) {
        const T_READ_BACK sequential = ReadFromMemory(c.image);
        // Damaged deflate data may inflate to wrong bytes before zlib sees
        // the damage; anything else gives only the image's own bytes, and
        // the stream all of those in front of what follows the member.
        if (c.strName != "damaged deflate data") {
            EXPECT_TRUE(IsPrefix(sequential.data, c.first.empty() ? m_data : c.first)) << c.strName;
        }
        if (!c.first.empty()) {
            EXPECT_TRUE(sequential.data == c.first) << c.strName;
        }
        for (const T_ZLIB_ENTRY_POINTS* pZlib : {static_cast<const T_ZLIB_ENTRY_POINTS*>(nullptr),
                                                  m_zlib.EntryPoints(),
                                                  static_cast<const T_ZLIB_ENTRY_POINTS*>(&withoutCrc)}) {
            SCOPED_TRACE(c.strName + (!pZlib ? ", sequential" : pZlib == &withoutCrc ? ", checked by zlib" : ""));
            const T_READ_BACK back = pZlib ? ReadThroughPipeline(std::make_shared<CFakeDisk>(c.image), pZlib) : sequential;
            EXPECT_EQ(back.result.bOk, c.nResult == 0);
            if (c.nResult != ANY_FAILURE) {
                EXPECT_EQ(back.result.nZlibResult, c.nResult);
            }
            EXPECT_EQ(back.result.nZlibResult, sequential.result.nZlibResult);
            if (c.nResult == 0) {
                EXPECT_EQ(back.lengths, sequential.lengths);
                EXPECT_TRUE(back.data == c.first);
            } else {  // the same bytes up to where each noticed the damage
                EXPECT_TRUE(IsPrefix(back.data, sequential.data) || IsPrefix(sequential.data, back.data));
            }
        }
    }
    for (uint32_t nBlock : {uint32_t{777}, 3 * MIB}) {  // blocks that cut across the inflated ones
        const T_READ_BACK back = ReadThroughPipeline(std::make_shared<CFakeDisk>(m_image), m_zlib.EntryPoints(), nBlock);
        EXPECT_EQ(back.lengths, ReadFromMemory(m_image, nBlock).lengths);
        EXPECT_TRUE(back.data == m_data);
    }
}

// A read that fails is narrowed down to the 1 MiB read the sequential reader
// makes, so the same data come first and the same read fails.
TEST_F(GzipMemberTest, AFailingFileReadComesAfterTheDataInFrontOfItInEveryReader)
{
    const std::vector<uint8_t> image = CompressToMemory(RandomBytes(6 * MIB, 8));
    for (uint64_t nAt : {10u, 2 * MIB + 10, 5 * MIB + 10}) {
        SCOPED_TRACE(nAt);
        auto pDisk = std::make_shared<CFakeDisk>(image);
        pDisk->FailReads(nAt, nAt + 1, SystemError::IoError());
        const T_READ_BACK back = ReadThroughPipeline(pDisk, m_zlib.EntryPoints());
        T_FAKE_FILE file(pDisk);
        CZLIBIO sequential;
        const T_READ_BACK expected = ReadImage(sequential, *file.pFile);
        for (const T_READ_BACK* pBack : {&back, &expected}) {
            EXPECT_EQ(pBack->result.nZlibResult, Z_ERRNO);
            EXPECT_EQ(pBack->result.nError, SystemError::IoError());
        }
        EXPECT_EQ(back.lengths, expected.lengths);
    }
}

TEST_F(GzipMemberTest, ThePipelineStoppedInTheMiddleEndsBothThreads)
{
    auto pDisk = std::make_shared<CFakeDisk>(CompressToMemory(RandomBytes(12 * MIB, 9)));
    pDisk->SetReadDelayMs(20);
    T_FAKE_FILE file(pDisk);
    CInflatePipeline pipeline;
    ASSERT_TRUE(pipeline.Start(*file.pFile, m_zlib.EntryPoints()));
    std::vector<uint8_t> block(MIB);
    uint32_t nProduced = 0;
    ASSERT_TRUE(pipeline.Read(block.data(), MIB, nProduced).bOk);
    auto stopped = Async([&] { pipeline.Stop(); });
    ASSERT_TRUE(Finishes(stopped));
    EXPECT_FALSE(pipeline.Read(block.data(), MIB, nProduced).bOk);
    EXPECT_FALSE(pipeline.Start(*file.pFile, nullptr));  // no library: nothing runs
}
