// The inflate pipeline reads every image exactly as the sequential reader
// does: whole images, damaged ones, cut ones, anything behind the member,
// failing file reads, with its own CRC check and with zlib's; and it stops
// in the middle without leaving a thread behind.
#include "engine/core/system_error.h"
#include "engine/zlib/inflate_pipeline.h"
#include "tests/engine/test_helpers.h"
#include "tests/engine/zlib/parallel_test_support.h"

namespace {

T_READ_BACK ReadThroughPipeline(std::shared_ptr<CFakeDisk> pImage, const T_ZLIB_ENTRY_POINTS* pZlib,
                                uint32_t nBlock = MIB, bool* pOwnCheck = nullptr)
{
    T_FAKE_FILE file(std::move(pImage));
    CInflatePipeline pipeline;
    T_READ_BACK back;
    if (!pipeline.Start(*file.pFile, pZlib)) {
        ADD_FAILURE() << "the pipeline did not start";
        return back;
    }
    std::vector<uint8_t> block(nBlock);
    for (;;) {
        uint32_t nProduced = 0;
        back.result = pipeline.Read(block.data(), nBlock, nProduced);
        back.data.insert(back.data.end(), block.begin(), block.begin() + nProduced);
        if (!back.result.bOk) break;
        back.lengths.push_back(nProduced);
        if (nProduced == 0 || back.lengths.size() > 100000) break;
    }
    if (pOwnCheck) *pOwnCheck = pipeline.ChecksOwnCrc();
    return back;
}

bool IsPrefix(const std::vector<uint8_t>& part, const std::vector<uint8_t>& whole)
{
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// A member whose header carries an extra field, a name, a comment and its
// own CRC-16 (wrong when bBadCrc).
std::vector<uint8_t> WithFullHeader(const T_ZLIB_ENTRY_POINTS& z, const std::vector<uint8_t>& image, bool bBadCrc)
{
    std::vector<uint8_t> header;
    header.reserve(image.size() + 32);
    header.assign(image.begin(), image.begin() + GZIP_HEADER_SIZE);
    header[3] = 0x02 | 0x04 | 0x08 | 0x10;
    const std::string strFields("\x04\x00" "abcd" "disk.img\0" "hi\0", 2 + 4 + 9 + 3);  // extra, name, comment
    for (char c : strFields) header.push_back(static_cast<uint8_t>(c));
    const auto nCrc = static_cast<uint32_t>(z.extra.crc32(0, header.data(), static_cast<uInt>(header.size())));
    header.push_back(static_cast<uint8_t>(nCrc ^ (bBadCrc ? 1 : 0)));
    header.push_back(static_cast<uint8_t>(nCrc >> 8));
    header.insert(header.end(), image.begin() + GZIP_HEADER_SIZE, image.end());
    return header;
}

struct T_CASE {
    std::string strName;
    std::vector<uint8_t> image;
};

class InflatePipelineTest : public ::testing::Test {
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
        std::vector<T_CASE> cases = {
            {"whole", m_image},
            {"written in parallel", ParallelCompressToMemory(m_data, 2)},
            {"empty file", {}},
            {"full header", WithFullHeader(z, m_image, false)},
            {"wrong header CRC", WithFullHeader(z, m_image, true)},
            {"not compressed", RandomBytes(5000, 3)},
            {"second member", m_image},
            {"zero padding", m_image},
        };
        cases[6].image.insert(cases[6].image.end(), m_image.begin(), m_image.end());
        cases[7].image.resize(n + 512);
        for (size_t nKeep : {size_t{1}, size_t{5}, size_t{10}, n / 2, n - 8, n - 4, n - 1}) {
            cases.push_back({"cut to " + std::to_string(nKeep), {m_image.begin(), m_image.begin() + nKeep}});
        }
        const std::pair<const char*, size_t> places[] = {{"method", 2}, {"deflate data", n / 3}, {"CRC-32", n - 6},
                                                         {"length", n - 2}};
        for (const auto& [pszPlace, nOffset] : places) {
            cases.push_back({std::string("damaged ") + pszPlace, m_image});
            cases.back().image[nOffset] ^= 0x5A;
        }
        cases.push_back({"reserved flag", m_image});
        cases.back().image[3] = 0x20;
        return cases;
    }

    CZLIBIO m_zlib;
    const std::vector<uint8_t> m_data = Prose(3 * MIB + 99, 5);
    std::vector<uint8_t> m_image;
};

}  // namespace

// Besides gzip members: the empty file, a file that is no stream at all,
// and with zlib checking on the inflating thread, zlib's header detection.
TEST_F(InflatePipelineTest, EveryImageReadsAsTheSequentialReaderReadsIt)
{
    T_ZLIB_ENTRY_POINTS withoutCrc = *m_zlib.EntryPoints();
    withoutCrc.extra.crc32 = nullptr;  // zlib checks on the inflating thread
    for (const T_CASE& c : Cases()) {
        const T_READ_BACK expected = ReadFromMemory(c.image);
        for (const T_ZLIB_ENTRY_POINTS* pZlib : {m_zlib.EntryPoints(), static_cast<const T_ZLIB_ENTRY_POINTS*>(&withoutCrc)}) {
            SCOPED_TRACE(c.strName + (pZlib == &withoutCrc ? ", checked by zlib" : ""));
            const T_READ_BACK back = ReadThroughPipeline(std::make_shared<CFakeDisk>(c.image), pZlib);
            EXPECT_EQ(back.result.bOk, expected.result.bOk);
            EXPECT_EQ(back.result.nZlibResult, expected.result.nZlibResult);
            if (expected.result.bOk) {
                EXPECT_EQ(back.lengths, expected.lengths);
                EXPECT_TRUE(back.data == expected.data);
            } else {  // the same bytes up to where each noticed the damage
                EXPECT_TRUE(IsPrefix(back.data, expected.data) || IsPrefix(expected.data, back.data));
            }
        }
    }
    for (uint32_t nBlock : {uint32_t{777}, 3 * MIB}) {  // blocks that cut across the inflated ones
        bool bOwnCheck = false;
        const T_READ_BACK back = ReadThroughPipeline(std::make_shared<CFakeDisk>(m_image), m_zlib.EntryPoints(),
                                                     nBlock, &bOwnCheck);
        EXPECT_TRUE(bOwnCheck);
        EXPECT_EQ(back.lengths, ReadFromMemory(m_image, nBlock).lengths);
        EXPECT_TRUE(back.data == m_data);
    }
}

// A read that fails is narrowed down to the 1 MiB read the sequential reader
// makes, so the same data come first and the same read fails.
TEST_F(InflatePipelineTest, AFailingFileReadComesAfterTheDataInFrontOfIt)
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
        EXPECT_EQ(back.result.nZlibResult, Z_ERRNO);
        EXPECT_EQ(back.result.nError, SystemError::IoError());
        EXPECT_EQ(back.lengths, expected.lengths);
    }
}

TEST_F(InflatePipelineTest, StopInTheMiddleEndsBothThreads)
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
