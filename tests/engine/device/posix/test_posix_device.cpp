// The POSIX device adapter beyond what every platform shares
// (test_platform_device.cpp): descriptors, and a loop device the test
// attaches itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>

#include <sys/stat.h>

#include "engine/core/fixed_buffer.h"
#include "tests/engine/test_helpers.h"

namespace {

constexpr uint32_t MIB = 0x100000;
using PosixDeviceTest = PlatformDeviceTest;

}  // namespace

TEST_F(PosixDeviceTest, DroppingADeviceClosesItsDescriptor)
{
    WriteWholeFile(m_dir.File("drive.bin"), Pattern(10, 1));
    const auto openDescriptors = [] {
        const std::filesystem::directory_iterator fds("/proc/self/fd");
        return std::distance(begin(fds), end(fds));
    };
    const auto nBefore = openDescriptors();
    for (EOpenMode eMode : {EOpenMode::ReadImage, EOpenMode::WriteDrive, EOpenMode::CreateImageAlways}) {
        EXPECT_NE(Open(m_dir.File("drive.bin"), eMode), nullptr) << m_nError;
    }
    EXPECT_EQ(openDescriptors(), nBefore);
}

namespace {

// An 8 MiB loop device over a temporary file, attached by the test and
// always detached again.
class PosixLoopDeviceTest : public PosixDeviceTest {
protected:
    static constexpr uint32_t LOOP_SIZE = 8 * MIB;

    void SetUp() override
    {
        ASSERT_TRUE(m_pool.Create(MIB, 16));  // unbuffered transfers need the blocks' alignment
        WriteWholeFile(m_dir.File("backing.img"), m_data);
        const std::string strAttach = "losetup -f --show " + m_strOptions + "'" + m_dir.File("backing.img") + "'";
        FILE* pPipe = ::popen((strAttach + " 2>/dev/null").c_str(), "r");
        char line[256] = {};
        if (pPipe && std::fgets(line, sizeof line, pPipe) && std::strncmp(line, "/dev/loop", 9) == 0) {
            m_strLoop.assign(line, std::strcspn(line, " \n"));
        }
        if (pPipe) ::pclose(pPipe);
        if (m_strLoop.empty()) GTEST_SKIP() << "no loop device can be attached here (not root, no loop support)";
    }
    void TearDown() override
    {
        if (!m_strLoop.empty()) { EXPECT_EQ(std::system(("losetup -d " + m_strLoop).c_str()), 0) << m_strLoop; }
    }

    std::vector<uint8_t> m_data = Pattern(LOOP_SIZE, 5);
    std::string m_strOptions;  // losetup's, before the file
    std::string m_strLoop;
    CFixedBuffer m_pool;
};

}  // namespace

TEST_F(PosixLoopDeviceTest, ABlockDeviceTellsItsSizeAndReadsStraightIntoPoolBlocks)
{
    std::unique_ptr<IDevice> pDrive = Open(m_strLoop, EOpenMode::ReadDrive);
    ASSERT_NE(pDrive, nullptr) << m_nError;
    uint64_t nLength = 0;
    uint32_t nError = 0;
    EXPECT_TRUE(pDrive->GetLengthInfo(nLength, nError) && nLength == LOOP_SIZE) << nError;
    T_DISK_GEOMETRY geo;
    ASSERT_TRUE(pDrive->GetDriveGeometry(geo, nError)) << nError;
    EXPECT_EQ(geo.Cylinders * geo.TracksPerCylinder * geo.SectorsPerTrack * geo.BytesPerSector, int64_t{LOOP_SIZE});
    uint8_t* pBlock = m_pool.Alloc();
    for (uint64_t nOffset : {uint64_t{0}, uint64_t{3 * MIB + 4096}, uint64_t{LOOP_SIZE}}) {
        const T_IO_RESULT res = pDrive->ReadAt(nOffset, pBlock, MIB);
        const uint32_t nWant = nOffset < LOOP_SIZE ? MIB : 0;  // the end gives 0 bytes, no error
        ASSERT_TRUE(res.bOk && res.nCount == nWant) << "offset " << nOffset << " error " << res.nError;
        EXPECT_TRUE(std::equal(pBlock, pBlock + nWant, m_data.begin() + static_cast<ptrdiff_t>(nOffset)));
    }
}

TEST_F(PosixLoopDeviceTest, AnExclusiveWriterKeepsOtherWritersOutAndItsDataArrives)
{
    uint8_t* pBlock = m_pool.Alloc();
    const std::vector<uint8_t> fresh = Pattern(MIB, 6);
    std::copy(fresh.begin(), fresh.end(), pBlock);
    {
        std::unique_ptr<IDevice> pWriter = Open(m_strLoop, EOpenMode::WriteDrive);
        ASSERT_NE(pWriter, nullptr) << m_nError;
        EXPECT_EQ(Open(m_strLoop, EOpenMode::WriteDrive), nullptr);
        EXPECT_EQ(m_nError, static_cast<uint32_t>(EBUSY));
        const T_IO_RESULT res = pWriter->WriteAt(2 * MIB, pBlock, MIB);
        ASSERT_TRUE(res.bOk && res.nCount == MIB) << res.nError;
        uint32_t nError = 0;
        EXPECT_TRUE(pWriter->Flush(nError)) << nError;
    }
    EXPECT_NE(Open(m_strLoop, EOpenMode::WriteDrive), nullptr);  // free again once closed
    std::copy(fresh.begin(), fresh.end(), m_data.begin() + 2 * MIB);
    EXPECT_EQ(ReadWholeFile(m_dir.File("backing.img")), m_data);
}

// A read without sharing keeps every other claim out (a writer, a mount, a
// second job). A disk this process holds as its own volume (a file system
// on the whole disk, locked by the job) still lets the job's engines in.
TEST_F(PosixLoopDeviceTest, AReaderKeepsWritersOutAndTheJobsOwnVolumeLockLetsItsEnginesIn)
{
    {
        std::unique_ptr<IDevice> pReader = Open(m_strLoop, EOpenMode::ReadDrive);
        ASSERT_NE(pReader, nullptr) << m_nError;
        EXPECT_EQ(Open(m_strLoop, EOpenMode::WriteDrive), nullptr);
        EXPECT_EQ(m_nError, static_cast<uint32_t>(EBUSY));
    }
    std::unique_ptr<IDevice> pVolume = Open(m_strLoop, EOpenMode::Volume);
    uint32_t nError = 0;
    ASSERT_TRUE(pVolume && pVolume->LockVolume(nError)) << nError;
    for (EOpenMode eMode : {EOpenMode::ReadDrive, EOpenMode::WriteDrive})
        EXPECT_NE(Open(m_strLoop, eMode), nullptr) << static_cast<int>(eMode) << ": " << m_nError;
}

// Nobody can write a read-only drive (or a CD): its read needs no claim, so
// another holder (a mounted file system, here another reader) does not keep
// it out.
class PosixReadOnlyLoopTest : public PosixLoopDeviceTest {
protected:
    PosixReadOnlyLoopTest() { m_strOptions = "-r "; }
};

TEST_F(PosixReadOnlyLoopTest, AReadOnlyDriveIsReadWhileSomeoneElseHoldsIt)
{
    std::unique_ptr<IDevice> pHolder = Open(m_strLoop, EOpenMode::ReadDrive);
    ASSERT_NE(pHolder, nullptr) << m_nError;
    EXPECT_NE(Open(m_strLoop, EOpenMode::ReadDrive), nullptr) << m_nError;
}

TEST_F(PosixLoopDeviceTest, ALoopDeviceIsStoredOnItsBackingFileAndNothingElse)
{
    std::unique_ptr<IDevice> pDrive = Open(m_strLoop, EOpenMode::ReadDrive);
    ASSERT_NE(pDrive, nullptr) << m_nError;
    EXPECT_EQ(pDrive->GetKind(), EDeviceKind::BlockDevice);
    std::unique_ptr<IDevice> pBacking = Open(m_dir.File("backing.img"), EOpenMode::ReadImage);
    ASSERT_NE(pBacking, nullptr) << m_nError;
    WriteWholeFile(m_dir.File("other.img"), Pattern(10, 1));
    std::unique_ptr<IDevice> pOther = Open(m_dir.File("other.img"), EOpenMode::ReadImage);
    ASSERT_NE(pOther, nullptr) << m_nError;
    const T_STORAGE drive = pDrive->GetStorage();
    EXPECT_TRUE(IsStoredOn(pBacking->GetStorage(), drive));  // writing it would change the drive
    EXPECT_FALSE(IsStoredOn(pOther->GetStorage(), drive));   // a neighbour of the backing file
}

TEST_F(PosixDeviceTest, WhatAnOpenedPathIsComesFromTheDescriptor)
{
    const std::string strFifo = m_dir.File("fifo");
    ASSERT_EQ(::mkfifo(strFifo.c_str(), 0600), 0);
    WriteWholeFile(m_dir.File("file"), Pattern(10, 1));
    const struct {
        std::string strPath;
        EOpenMode eMode;
        EDeviceKind eKind;
    } cases[] = {
        {m_dir.File("file"), EOpenMode::ReadDrive, EDeviceKind::RegularFile},
        {m_dir.Path().string(), EOpenMode::ReadDrive, EDeviceKind::Directory},
        {"/dev/zero", EOpenMode::ReadDrive, EDeviceKind::CharacterDevice},
        {"/dev/null", EOpenMode::ReplaceImage, EDeviceKind::CharacterDevice},
        // Neither a reader nor a writer waits for the other end of a FIFO.
        {strFifo, EOpenMode::ReadDrive, EDeviceKind::PipeOrSocket},
        {strFifo, EOpenMode::ReadImage, EDeviceKind::PipeOrSocket},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strPath);
        std::unique_ptr<IDevice> pDevice = Open(c.strPath, c.eMode);
        ASSERT_NE(pDevice, nullptr) << m_nError;
        EXPECT_EQ(pDevice->GetKind(), c.eKind);
    }
    // A writer on a FIFO without a reader fails at once instead of waiting.
    EXPECT_EQ(Open(strFifo, EOpenMode::ReplaceImage), nullptr);
}

TEST_F(PosixDeviceTest, AFileIsStoredOnItselfAndReplacingKeepsContentsUntilCut)
{
    WriteWholeFile(m_dir.File("image.gmi"), Pattern(5000, 1));
    std::unique_ptr<IDevice> pDrive = Open(m_dir.File("image.gmi"), EOpenMode::ReadDrive);
    std::unique_ptr<IDevice> pImage = Open(m_dir.File("image.gmi"), EOpenMode::ReplaceImage);
    ASSERT_TRUE(pDrive && pImage) << m_nError;
    EXPECT_TRUE(IsStoredOn(pImage->GetStorage(), pDrive->GetStorage()));
    EXPECT_EQ(ReadWholeFile(m_dir.File("image.gmi")).size(), 5000u);
    uint32_t nError = 0;
    ASSERT_TRUE(pImage->SetLength(0, nError)) << nError;
    EXPECT_TRUE(ReadWholeFile(m_dir.File("image.gmi")).empty());
    ASSERT_TRUE(GetPlatformDevices().RemoveFile(m_dir.File("image.gmi"), nError)) << nError;
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("image.gmi")));
}

TEST_F(PosixDeviceTest, AFileStandingInForADriveAnswersNoStorageOrVolumeRequest)
{
    WriteWholeFile(m_dir.File("drive.bin"), Pattern(4096, 1));
    std::unique_ptr<IDevice> pFile = Open(m_dir.File("drive.bin"), EOpenMode::Volume);
    ASSERT_NE(pFile, nullptr) << m_nError;
    const struct { const char* pName; bool (*pfnRequest)(IDevice&, uint32_t&); } requests[] = {
        {"device number", [](IDevice& d, uint32_t& e) { T_DEVICE_NUMBER n; return d.GetDeviceNumber(n, e); }},
        {"extents",
         [](IDevice& d, uint32_t& e) { std::vector<T_DISK_EXTENT> x; return d.GetVolumeDiskExtents(x, e); }},
        {"property", [](IDevice& d, uint32_t& e) { T_STORAGE_DESCRIPTOR p; return d.QueryStorageProperty(p, e); }},
        {"lock", [](IDevice& d, uint32_t& e) { return d.LockVolume(e); }},
        {"dismount", [](IDevice& d, uint32_t& e) { return d.DismountVolume(e); }},
        {"unlock", [](IDevice& d, uint32_t& e) { return d.UnlockVolume(e); }},
        {"allow removal", [](IDevice& d, uint32_t& e) { return d.AllowMediaRemoval(e); }},
        {"eject", [](IDevice& d, uint32_t& e) { return d.EjectMedia(e); }},
        {"load", [](IDevice& d, uint32_t& e) { return d.LoadMedia(e); }},
    };
    for (const auto& r : requests) {
        uint32_t nError = 0;
        EXPECT_FALSE(r.pfnRequest(*pFile, nError)) << r.pName;
        EXPECT_EQ(nError, static_cast<uint32_t>(ENOTTY)) << r.pName;
    }
    EXPECT_EQ(ReadWholeFile(m_dir.File("drive.bin")), Pattern(4096, 1));
}

