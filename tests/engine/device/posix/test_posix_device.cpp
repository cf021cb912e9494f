// The POSIX device adapter beyond what every platform shares
// (test_platform_device.cpp): what an opened path is, files standing in for
// drives, and a loop device the test attaches itself. (Descriptors closed
// after every job kind: tests/jobs/posix; files and loop devices as drives
// and images, exclusive opens and volumes held by their own job:
// tests/e2e.)
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

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
        WriteWholeFile(m_dir.File("backing.img"), std::vector<uint8_t>(LOOP_SIZE));
        std::string strWhy;
        if (!m_loop.Attach(m_dir.File("backing.img"), strWhy, false, bReadOnly)) GTEST_SKIP() << strWhy;
    }
    void SetUp() override { Attach(false); }
    const std::string& Loop() const { return m_loop.Disk(); }

    loop_test::CLoopDisk m_loop;
};

}  // namespace

// A block device's geometry, its fallback size. (Its length and its reads
// straight into pool blocks: tests/e2e/test_read_loop.sh.)
TEST_F(PosixLoopDeviceTest, ABlockDeviceTellsItsGeometry)
{
    std::unique_ptr<IDevice> pDrive = Open(Loop(), EOpenMode::ReadDrive);
    ASSERT_NE(pDrive, nullptr) << m_nError;
    EXPECT_EQ(pDrive->GetKind(), EDeviceKind::BlockDevice);
    uint32_t nError = 0;
    T_DISK_GEOMETRY geo;
    ASSERT_TRUE(pDrive->GetDriveGeometry(geo, nError)) << nError;
    EXPECT_EQ(geo.Cylinders * geo.TracksPerCylinder * geo.SectorsPerTrack * geo.BytesPerSector, int64_t{LOOP_SIZE});
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
