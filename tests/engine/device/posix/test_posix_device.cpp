// The POSIX device adapter beyond what every platform shares
// (test_platform_device.cpp): what an opened path is, files standing in for
// drives, and a loop device the test attaches itself. (Descriptors closed
// after every job kind: tests/jobs/posix; files and loop devices as drives
// and images, exclusive opens and volumes held by their own job:
// tests/e2e.)
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "engine/core/fixed_buffer.h"
#include "tests/engine/device/posix/loop_disk.h"
#include "tests/engine/test_helpers.h"

namespace {

constexpr uint32_t MIB = 0x100000;
using PosixDeviceTest = PlatformDeviceTest;

}  // namespace

TEST_F(PosixDeviceTest, WhatAnOpenedPathIsComesFromTheDescriptorAndAFifoIsNeverWaitedOn)
{
    const std::string strFifo = m_dir.File("fifo");
    ASSERT_EQ(::mkfifo(strFifo.c_str(), 0600), 0);
    const struct { std::string strPath; EOpenMode eMode; EDeviceKind eKind; } cases[] = {
        {"/dev/null", EOpenMode::ReplaceImage, EDeviceKind::CharacterDevice},
        {strFifo, EOpenMode::ReadImage, EDeviceKind::PipeOrSocket},
    };
    for (const auto& c : cases) {
        std::unique_ptr<IDevice> pDevice = Open(c.strPath, c.eMode);
        ASSERT_NE(pDevice, nullptr) << c.strPath << ": " << m_nError;
        EXPECT_EQ(pDevice->GetKind(), c.eKind) << c.strPath;
    }
    // A writer on a FIFO without a reader fails at once instead of waiting.
    EXPECT_EQ(Open(strFifo, EOpenMode::ReplaceImage), nullptr);
}

TEST_F(PosixDeviceTest, AFileStandingInForADriveAnswersNoVolumeRequest)
{
    WriteWholeFile(m_dir.File("image.gmi"), Pattern(5000, 1));
    std::unique_ptr<IDevice> pDrive = Open(m_dir.File("image.gmi"), EOpenMode::Volume);
    ASSERT_NE(pDrive, nullptr) << m_nError;
    using Request = bool (IDevice::*)(uint32_t&);
    for (Request pRequest : {&IDevice::LockVolume, &IDevice::DismountVolume, &IDevice::UnlockVolume,
                             &IDevice::AllowMediaRemoval, &IDevice::EjectMedia, &IDevice::LoadMedia}) {
        uint32_t nError = 0;
        EXPECT_FALSE(((*pDrive).*pRequest)(nError));
        EXPECT_EQ(nError, static_cast<uint32_t>(ENOTTY));
    }
    uint32_t nError = 0;
    T_DEVICE_NUMBER number;
    EXPECT_FALSE(pDrive->GetDeviceNumber(number, nError));
    EXPECT_EQ(ReadWholeFile(m_dir.File("image.gmi")).size(), 5000u);
}

namespace {

// An 8 MiB loop device over a temporary file, attached by the test and
// always detached again.
class PosixLoopDeviceTest : public PosixDeviceTest {
protected:
    static constexpr uint32_t LOOP_SIZE = 8 * MIB;

    void Attach(bool bReadOnly)
    {
        ASSERT_TRUE(m_pool.Create(MIB, 16));  // unbuffered transfers need the blocks' alignment
        WriteWholeFile(m_dir.File("backing.img"), m_data);
        std::string strWhy;
        if (!m_loop.Attach(m_dir.File("backing.img"), strWhy, false, bReadOnly)) GTEST_SKIP() << strWhy;
    }
    void SetUp() override { Attach(false); }
    const std::string& Loop() const { return m_loop.Disk(); }

    std::vector<uint8_t> m_data = Pattern(LOOP_SIZE, 5);
    CFixedBuffer m_pool;
    loop_test::CLoopDisk m_loop;
};

}  // namespace

TEST_F(PosixLoopDeviceTest, ABlockDeviceTellsItsSizeAndGeometryAndReadsStraightIntoPoolBlocks)
{
    std::unique_ptr<IDevice> pDrive = Open(Loop(), EOpenMode::ReadDrive);
    ASSERT_NE(pDrive, nullptr) << m_nError;
    EXPECT_EQ(pDrive->GetKind(), EDeviceKind::BlockDevice);
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

// Nobody can write a read-only drive (or a CD): its read needs no claim, so
// another holder (a mounted file system, here another reader) does not keep
// it out.
class PosixReadOnlyLoopTest : public PosixLoopDeviceTest {
protected:
    void SetUp() override { Attach(true); }
};

TEST_F(PosixReadOnlyLoopTest, AReadOnlyDriveIsReadWhileSomeoneElseHoldsIt)
{
    std::unique_ptr<IDevice> pHolder = Open(Loop(), EOpenMode::ReadDrive);
    ASSERT_NE(pHolder, nullptr) << m_nError;
    EXPECT_NE(Open(Loop(), EOpenMode::ReadDrive), nullptr) << m_nError;
}
