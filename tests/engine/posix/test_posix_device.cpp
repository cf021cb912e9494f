// The POSIX device adapter: regular files standing in for images and drives,
// a loop device the test attaches itself, and the system error text.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/device/device.h"
#include "engine/fixed_buffer.h"
#include "engine/system_error.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr uint32_t MIB = 0x100000;

std::vector<uint8_t> Pattern(size_t nSize, uint8_t nSeed)
{
    std::vector<uint8_t> data(nSize);
    for (size_t i = 0; i < nSize; ++i) data[i] = static_cast<uint8_t>((i * 131 + nSeed) ^ (i >> 9));
    return data;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& data, size_t nFrom, size_t nLength)
{
    return std::vector<uint8_t>(data.begin() + static_cast<ptrdiff_t>(nFrom),
                                data.begin() + static_cast<ptrdiff_t>(nFrom + nLength));
}

class PosixDeviceTest : public ::testing::Test {
protected:
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode)
    {
        m_nError = 0;
        return GetPlatformDevices().Open(strPath, eMode, m_nError);
    }

    CTempDir m_dir;
    uint32_t m_nError = 0;
};

}  // namespace

TEST_F(PosixDeviceTest, CreateNewWritesAFileButNeverReplacesOne)
{
    const std::string strImage = m_dir.File("new.gmi");
    const std::vector<uint8_t> data = Pattern(3 * MIB + 100, 1);
    {
        std::unique_ptr<IDevice> pImage = Open(strImage, EOpenMode::CreateImageNew);
        ASSERT_NE(pImage, nullptr) << m_nError;
        for (size_t nPos = 0; nPos < data.size(); nPos += MIB) {
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(MIB, data.size() - nPos));
            const T_IO_RESULT res = pImage->WriteAt(nPos, data.data() + nPos, n);
            ASSERT_TRUE(res.bOk) << res.nError;
            ASSERT_EQ(res.nCount, n);
        }
        uint32_t nError = 0;
        EXPECT_TRUE(pImage->Flush(nError)) << nError;
    }
    EXPECT_EQ(ReadWholeFile(strImage), data);
    EXPECT_EQ(Open(strImage, EOpenMode::CreateImageNew), nullptr);
    EXPECT_EQ(m_nError, SystemError::FileExists());
    EXPECT_EQ(ReadWholeFile(strImage), data);
}

TEST_F(PosixDeviceTest, CreateAlwaysTruncatesAnExistingFile)
{
    const std::string strImage = m_dir.File("again.gmi");
    WriteWholeFile(strImage, Pattern(5000, 2));
    {
        std::unique_ptr<IDevice> pImage = Open(strImage, EOpenMode::CreateImageAlways);
        ASSERT_NE(pImage, nullptr) << m_nError;
        const std::vector<uint8_t> head = Pattern(10, 3);
        EXPECT_TRUE(pImage->WriteAt(0, head.data(), 10).bOk);
    }
    EXPECT_EQ(ReadWholeFile(strImage), Pattern(10, 3));
}

TEST_F(PosixDeviceTest, AnImageHasItsSizeAndReadsAtAnyOffsetUpToTheEnd)
{
    const std::string strImage = m_dir.File("read.gmi");
    const std::vector<uint8_t> data = Pattern(100000, 4);
    WriteWholeFile(strImage, data);
    std::unique_ptr<IDevice> pImage = Open(strImage, EOpenMode::ReadImage);
    ASSERT_NE(pImage, nullptr) << m_nError;
    uint64_t nLength = 0;
    uint32_t nError = 0;
    EXPECT_TRUE(GetDiskSize(*pImage, nLength, nError));  // a file's length is its size
    EXPECT_EQ(nLength, data.size());
    std::vector<uint8_t> buffer(4096);

    T_IO_RESULT res = pImage->ReadAt(4001, buffer.data(), 100);  // any offset, not only sectors
    ASSERT_TRUE(res.bOk);
    ASSERT_EQ(res.nCount, 100u);
    EXPECT_EQ(Slice(buffer, 0, 100), Slice(data, 4001, 100));

    res = pImage->ReadAt(data.size() - 10, buffer.data(), 4096);  // the last short piece
    ASSERT_TRUE(res.bOk);
    ASSERT_EQ(res.nCount, 10u);
    EXPECT_EQ(Slice(buffer, 0, 10), Slice(data, data.size() - 10, 10));

    for (uint64_t nOffset : {uint64_t{100000}, uint64_t{5 * MIB}}) {
        res = pImage->ReadAt(nOffset, buffer.data(), 4096);
        EXPECT_TRUE(res.bOk) << nOffset;  // the end is not an error: 0 bytes
        EXPECT_EQ(res.nCount, 0u) << nOffset;
    }
}

TEST_F(PosixDeviceTest, OpeningAMissingPathFailsWithItsErrorAndCreatesNothing)
{
    const std::string strMissing = m_dir.File("missing.gmi");
    for (EOpenMode eMode : {EOpenMode::ReadImage, EOpenMode::ReadDrive, EOpenMode::WriteDrive,
                            EOpenMode::WriteDriveShared, EOpenMode::ProbeDrive, EOpenMode::Volume}) {
        EXPECT_EQ(Open(strMissing, eMode), nullptr);
        EXPECT_EQ(m_nError, static_cast<uint32_t>(ENOENT));
        EXPECT_FALSE(std::filesystem::exists(strMissing)) << static_cast<int>(eMode);
    }
}

TEST_F(PosixDeviceTest, AFileWrittenAsADriveKeepsItsLengthAndOtherBytes)
{
    const std::string strDrive = m_dir.File("drive.bin");
    std::vector<uint8_t> data = Pattern(64 * 1024, 6);
    WriteWholeFile(strDrive, data);
    const std::vector<uint8_t> patch = Pattern(1000, 7);
    {
        std::unique_ptr<IDevice> pDrive = Open(strDrive, EOpenMode::WriteDrive);
        ASSERT_NE(pDrive, nullptr) << m_nError;
        const T_IO_RESULT res = pDrive->WriteAt(5001, patch.data(), 1000);  // no sector alignment on a file
        ASSERT_TRUE(res.bOk) << res.nError;
        EXPECT_EQ(res.nCount, 1000u);
    }
    std::copy(patch.begin(), patch.end(), data.begin() + 5001);
    EXPECT_EQ(ReadWholeFile(strDrive), data);
}

TEST_F(PosixDeviceTest, ReadingModesRefuseToWrite)
{
    const std::string strImage = m_dir.File("ro.gmi");
    WriteWholeFile(strImage, Pattern(4096, 8));
    const std::vector<uint8_t> zeros(4096, 0);
    for (EOpenMode eMode : {EOpenMode::ReadImage, EOpenMode::ReadDrive, EOpenMode::ProbeDrive}) {
        std::unique_ptr<IDevice> pDevice = Open(strImage, eMode);
        ASSERT_NE(pDevice, nullptr) << m_nError;
        const T_IO_RESULT res = pDevice->WriteAt(0, zeros.data(), 4096);
        EXPECT_FALSE(res.bOk) << static_cast<int>(eMode);
        EXPECT_NE(res.nError, 0u);
    }
    EXPECT_EQ(ReadWholeFile(strImage), Pattern(4096, 8));
}

namespace {

size_t OpenDescriptorCount()
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

}  // namespace

TEST_F(PosixDeviceTest, DroppingADeviceClosesItsDescriptor)
{
    const std::string strImage = m_dir.File("fd.gmi");
    WriteWholeFile(strImage, Pattern(10, 9));
    const size_t nBefore = OpenDescriptorCount();
    for (int i = 0; i < 50; ++i) {
        std::unique_ptr<IDevice> pDevice = Open(strImage, i % 2 ? EOpenMode::ReadImage : EOpenMode::WriteDrive);
        ASSERT_NE(pDevice, nullptr) << m_nError;
    }
    EXPECT_EQ(OpenDescriptorCount(), nBefore);
}

TEST(PosixSystemErrorText, TheTextEndsInExactlyOneLineFeed)
{
    const std::string strText = GetSystemErrorText(EACCES);
    EXPECT_EQ(strText, std::string(std::strerror(EACCES)) + "\n");
    ASSERT_GE(strText.size(), 2u);
    EXPECT_NE(strText[strText.size() - 2], '\n');
    EXPECT_EQ(strText.find('\r'), std::string::npos);
}

namespace {

// A loop device over a temporary file, attached by the test and always
// detached again. Empty when this machine cannot attach one (not root, no
// loop support); those tests are skipped then.
class CLoopDevice {
public:
    explicit CLoopDevice(const std::string& strBacking)
    {
        if (::geteuid() != 0) return;
        const std::string strCommand = "losetup -f --show '" + strBacking + "' 2>/dev/null";
        FILE* pPipe = ::popen(strCommand.c_str(), "r");
        if (!pPipe) return;
        char line[256] = {};
        if (std::fgets(line, sizeof line, pPipe)) m_strPath = line;
        ::pclose(pPipe);
        while (!m_strPath.empty() && (m_strPath.back() == '\n' || m_strPath.back() == ' ')) m_strPath.pop_back();
        if (m_strPath.rfind("/dev/loop", 0) != 0) m_strPath.clear();
    }
    ~CLoopDevice()
    {
        if (m_strPath.empty()) return;
        const int nStatus = std::system(("losetup -d " + m_strPath).c_str());
        EXPECT_EQ(nStatus, 0) << "could not detach " << m_strPath;
    }
    CLoopDevice(const CLoopDevice&) = delete;
    CLoopDevice& operator=(const CLoopDevice&) = delete;

    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

constexpr uint32_t LOOP_SIZE = 8 * MIB;

class PosixLoopDeviceTest : public PosixDeviceTest {
protected:
    void SetUp() override
    {
        m_data = Pattern(LOOP_SIZE, 10);
        WriteWholeFile(m_dir.File("backing.img"), m_data);
        m_pLoop = std::make_unique<CLoopDevice>(m_dir.File("backing.img"));
        if (m_pLoop->Path().empty()) GTEST_SKIP() << "no loop device can be attached here";
    }
    void TearDown() override { m_pLoop.reset(); }

    std::vector<uint8_t> m_data;
    std::unique_ptr<CLoopDevice> m_pLoop;
};

}  // namespace

TEST_F(PosixLoopDeviceTest, ABlockDeviceTellsItsSizeAndReadsStraightIntoPoolBlocks)
{
    std::unique_ptr<IDevice> pDrive = Open(m_pLoop->Path(), EOpenMode::ReadDrive);
    ASSERT_NE(pDrive, nullptr) << m_nError;
    uint64_t nLength = 0;
    uint32_t nError = 0;
    EXPECT_TRUE(pDrive->GetLengthInfo(nLength, nError) && nLength == LOOP_SIZE) << nError;
    T_DISK_GEOMETRY geo;
    ASSERT_TRUE(pDrive->GetDriveGeometry(geo, nError)) << nError;
    EXPECT_EQ(static_cast<uint64_t>(geo.Cylinders) * geo.TracksPerCylinder * geo.SectorsPerTrack * geo.BytesPerSector,
              uint64_t{LOOP_SIZE});

    CFixedBuffer pool;  // unbuffered reads need the blocks' alignment
    ASSERT_TRUE(pool.Create(MIB, 16));
    uint8_t* pBlock = pool.Alloc();
    for (uint64_t nOffset : {uint64_t{0}, uint64_t{3 * MIB + 4096}}) {
        const T_IO_RESULT res = pDrive->ReadAt(nOffset, pBlock, MIB);
        ASSERT_TRUE(res.bOk) << "offset " << nOffset << " error " << res.nError;
        ASSERT_EQ(res.nCount, MIB);
        EXPECT_TRUE(std::equal(pBlock, pBlock + MIB, m_data.begin() + static_cast<ptrdiff_t>(nOffset)));
    }
    const T_IO_RESULT end = pDrive->ReadAt(LOOP_SIZE, pBlock, MIB);
    EXPECT_TRUE(end.bOk && end.nCount == 0u);
    pool.Free(pBlock);
}

TEST_F(PosixLoopDeviceTest, AnExclusiveWriterKeepsOtherWritersOutAndItsDataArrives)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(MIB, 16));
    uint8_t* pBlock = pool.Alloc();
    const std::vector<uint8_t> fresh = Pattern(MIB, 11);
    std::copy(fresh.begin(), fresh.end(), pBlock);
    {
        std::unique_ptr<IDevice> pWriter = Open(m_pLoop->Path(), EOpenMode::WriteDrive);
        ASSERT_NE(pWriter, nullptr) << m_nError;
        EXPECT_EQ(Open(m_pLoop->Path(), EOpenMode::WriteDrive), nullptr);
        EXPECT_EQ(m_nError, static_cast<uint32_t>(EBUSY));
        const T_IO_RESULT res = pWriter->WriteAt(2 * MIB, pBlock, MIB);
        ASSERT_TRUE(res.bOk) << res.nError;
        EXPECT_EQ(res.nCount, MIB);
        uint32_t nError = 0;
        EXPECT_TRUE(pWriter->Flush(nError)) << nError;
    }
    EXPECT_NE(Open(m_pLoop->Path(), EOpenMode::WriteDrive), nullptr);  // free again once closed
    pool.Free(pBlock);
    std::copy(fresh.begin(), fresh.end(), m_data.begin() + 2 * MIB);
    EXPECT_EQ(ReadWholeFile(m_dir.File("backing.img")), m_data);
}
