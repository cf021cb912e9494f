// A drive of more than 4 GiB read into a compressed image on two threads
// and written back to a drive of that size: every count and offset of both
// engines must be 64-bit, and nothing may depend on the gzip trailer's
// length (the low 32 bits alone) nor on zlib's own counters (32-bit on
// Windows); the chunks' CRC-32 values are joined across the 4 GiB mark.
// The drives store nothing: the first serves a pattern, the second checks
// every write against it. A long test (suite Long*): run once, natively.
#include <cstring>

#include "engine/read/disk_to_image.h"
#include "engine/write/image_to_disk.h"
#include "tests/engine/engine_rig.h"
#include "tests/support/temp_dir.h"

namespace engine_test {
namespace {

constexpr uint64_t DRIVE_SIZE = (uint64_t{4} << 30) + 3 * MIB + 123;

// The bytes of the pattern at [nOffset, +nLength): a repeating 4 KiB block
// (quick to deflate) whose every MiB starts with its own number, so a lost,
// doubled or misplaced block shows.
void FillPattern(uint64_t nOffset, uint8_t* pData, uint32_t nLength)
{
    static const std::vector<uint8_t> block = Pattern(4096, 11);
    for (uint32_t i = 0; i < nLength;) {
        const auto nIn = static_cast<uint32_t>((nOffset + i) % 4096);
        const uint32_t n = std::min(4096 - nIn, nLength - i);
        std::memcpy(pData + i, block.data() + nIn, n);
        i += n;
    }
    for (uint64_t nMib = nOffset / MIB; nMib * MIB < nOffset + nLength; ++nMib) {
        for (uint64_t nAt = nMib * MIB; nAt < nMib * MIB + 8; ++nAt) {
            if (nAt >= nOffset && nAt < nOffset + nLength) pData[nAt - nOffset] = static_cast<uint8_t>(nMib >> (8 * (nAt % 8)));
        }
    }
}

struct T_WRITE_CHECK {
    uint64_t nGood = 0;  // bytes written in order, each as the pattern wants it
    uint32_t nBadWrites = 0;
};

class CPatternDrive : public IDevice {
public:
    explicit CPatternDrive(T_WRITE_CHECK& check) : m_check(check) {}
    T_IO_RESULT ReadAt(uint64_t nOffset, void* pData, uint32_t nLength) override
    {
        const auto nCount = static_cast<uint32_t>(std::min<uint64_t>(nLength, DRIVE_SIZE - std::min(nOffset, DRIVE_SIZE)));
        FillPattern(nOffset, static_cast<uint8_t*>(pData), nCount);
        return T_IO_RESULT{true, nCount, 0};
    }
    T_IO_RESULT WriteAt(uint64_t nOffset, const void* pData, uint32_t nLength) override
    {
        m_expected.resize(nLength);
        FillPattern(nOffset, m_expected.data(), nLength);
        if (nOffset + nLength > DRIVE_SIZE || std::memcmp(pData, m_expected.data(), nLength) != 0) {
            ++m_check.nBadWrites;
        } else if (nOffset == m_check.nGood) {
            m_check.nGood += nLength;
        }
        return T_IO_RESULT{true, nLength, 0};
    }
    bool GetLengthInfo(uint64_t& nLength, uint32_t&) override
    {
        nLength = DRIVE_SIZE;
        return true;
    }
    bool GetDriveGeometry(T_DISK_GEOMETRY&, uint32_t& nError) override { return Unsupported(nError); }
    bool Flush(uint32_t&) override { return true; }
    bool SetLength(uint64_t, uint32_t& nError) override { return Unsupported(nError); }
    EDeviceKind GetKind() override { return EDeviceKind::BlockDevice; }
    T_STORAGE GetStorage() override { return T_STORAGE{{{reinterpret_cast<uintptr_t>(&m_check)}, {}}, {}}; }
    bool GetDeviceNumber(T_DEVICE_NUMBER&, uint32_t& nError) override { return Unsupported(nError); }
    bool GetVolumeDiskExtents(std::vector<T_DISK_EXTENT>&, uint32_t& nError) override { return Unsupported(nError); }
    bool QueryStorageProperty(T_STORAGE_DESCRIPTOR&, uint32_t& nError) override { return Unsupported(nError); }
    bool LockVolume(uint32_t& nError) override { return Unsupported(nError); }
    bool DismountVolume(uint32_t& nError) override { return Unsupported(nError); }
    bool UnlockVolume(uint32_t& nError) override { return Unsupported(nError); }
    bool AllowMediaRemoval(uint32_t& nError) override { return Unsupported(nError); }
    bool EjectMedia(uint32_t& nError) override { return Unsupported(nError); }
    bool LoadMedia(uint32_t& nError) override { return Unsupported(nError); }

private:
    static bool Unsupported(uint32_t& nError)
    {
        nError = SystemError::NotSupported();
        return false;
    }
    T_WRITE_CHECK& m_check;
    std::vector<uint8_t> m_expected;
};

// The pattern drive under "big:drive"; every other path is the platform's.
class CPatternDriveProvider : public IDeviceProvider {
public:
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override
    {
        if (strPath != "big:drive") return GetPlatformDevices().Open(strPath, eMode, nError);
        return std::make_unique<CPatternDrive>(m_check);
    }
    bool RemoveFile(const std::string& strPath, uint32_t& nError) override
    {
        return GetPlatformDevices().RemoveFile(strPath, nError);
    }
    T_WRITE_CHECK m_check;
};

class LongRoundTrip : public EngineRig {};

TEST_F(LongRoundTrip, ADriveOfMoreThan4GiBGoesIntoACompressedImageAndBackWhole)
{
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "far too slow under a sanitizer";
#endif
    CTempDir dir;
    CPatternDriveProvider devices;
    T_ENGINE_JOB job = Job(1);
    job.wiring.pDevices = &devices;
    job.arrDrives[0].strPath = "big:drive";
    job.strImage = dir.File("large.gmz");
    job.options.bCompressImage = true;
    job.options.nCompressThreads = 2;
    const T_ENGINE_RESULT read = CDiskToImage().Run(job);
    ASSERT_TRUE(read.bOk);
    EXPECT_EQ(read.arrSlots[0].nBytes, DRIVE_SIZE);
    EXPECT_EQ(Count("big:drive - " + std::to_string(DRIVE_SIZE) + " bytes dumped.\n"), 1u);
    EXPECT_EQ(TrailerLength(ReadWholeFile(job.strImage)), static_cast<uint32_t>(DRIVE_SIZE));

    job.options.bMD5Verify = true;  // the drive serves the pattern: its digest is the image's if both are whole
    const T_ENGINE_RESULT write = CImageToDisk().Run(job);
    ASSERT_TRUE(write.bOk);
    EXPECT_EQ(devices.m_check.nBadWrites, 0u);
    EXPECT_EQ(devices.m_check.nGood, DRIVE_SIZE);
    EXPECT_EQ(write.arrSlots[0].nBytes, DRIVE_SIZE);
    EXPECT_EQ(Count("big:drive - " + std::to_string(DRIVE_SIZE) + " bytes wrote.\n"), 1u);
    EXPECT_TRUE(write.DigestMatches(0));
    EXPECT_EQ(DigestText(write.digest), DigestText(read.arrSlots[0].digest));
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
}

}  // namespace
}  // namespace engine_test
