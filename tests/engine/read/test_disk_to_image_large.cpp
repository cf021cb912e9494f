// A drive of 5 GiB read into a compressed image on several threads: the
// member's CRC-32 and its length (modulo 2^32 in the trailer) span the
// 4 GiB mark, and the image inflates to every block in its place.
#include <cstring>

#include "engine/zlib/gzip_member.h"
#include "engine/zlib/image_file_reader.h"
#include "tests/engine/read/disk_to_image_fixture.h"
#include "tests/engine/test_helpers.h"

namespace {

constexpr uint64_t DRIVE_SIZE = (uint64_t{5} << 30) + 3 * MIB + 4097;

// Block i of the drive: a repeating 4 KiB pattern (quick to compress) that
// carries the block's number, so a lost, doubled or misplaced block shows.
void FillBlock(uint64_t nOffset, uint8_t* pData, uint32_t nLength)
{
    static const std::vector<uint8_t> block = [] {
        const std::vector<uint8_t> pattern = Pattern(4096, 12);
        std::vector<uint8_t> repeated(MIB);
        for (size_t i = 0; i < MIB; i += pattern.size()) std::memcpy(&repeated[i], pattern.data(), pattern.size());
        return repeated;
    }();
    const uint64_t nIndex = nOffset / MIB;
    std::memcpy(pData, block.data() + nOffset % MIB, nLength);
    if (nOffset % MIB == 0 && nLength >= sizeof nIndex) std::memcpy(pData, &nIndex, sizeof nIndex);
}

// A read-only drive whose bytes are made as they are read: 5 GiB that
// take no memory. Reads are block-aligned, as the engine makes them.
class CMadeDrive : public IDevice {
public:
    T_IO_RESULT ReadAt(uint64_t nOffset, void* pData, uint32_t nLength) override
    {
        if (nOffset >= DRIVE_SIZE) return T_IO_RESULT{true, 0, 0};
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(nLength, DRIVE_SIZE - nOffset));
        FillBlock(nOffset, static_cast<uint8_t*>(pData), n);
        return T_IO_RESULT{true, n, 0};
    }
    T_IO_RESULT WriteAt(uint64_t, const void*, uint32_t) override { return T_IO_RESULT{false, 0, 1}; }
    bool GetLengthInfo(uint64_t& nLength, uint32_t&) override
    {
        nLength = DRIVE_SIZE;
        return true;
    }
    bool GetDriveGeometry(T_DISK_GEOMETRY&, uint32_t& nError) override { return Refuse(nError); }
    bool Flush(uint32_t&) override { return true; }
    bool SetLength(uint64_t, uint32_t& nError) override { return Refuse(nError); }
    EDeviceKind GetKind() override { return EDeviceKind::BlockDevice; }
    T_STORAGE GetStorage() override { return T_STORAGE{}; }
    bool GetDeviceNumber(T_DEVICE_NUMBER&, uint32_t& nError) override { return Refuse(nError); }
    bool GetVolumeDiskExtents(std::vector<T_DISK_EXTENT>&, uint32_t& nError) override { return Refuse(nError); }
    bool QueryStorageProperty(T_STORAGE_DESCRIPTOR&, uint32_t& nError) override { return Refuse(nError); }
    bool LockVolume(uint32_t& nError) override { return Refuse(nError); }
    bool DismountVolume(uint32_t& nError) override { return Refuse(nError); }
    bool UnlockVolume(uint32_t& nError) override { return Refuse(nError); }
    bool AllowMediaRemoval(uint32_t& nError) override { return Refuse(nError); }
    bool EjectMedia(uint32_t& nError) override { return Refuse(nError); }
    bool LoadMedia(uint32_t& nError) override { return Refuse(nError); }

private:
    static bool Refuse(uint32_t& nError)
    {
        nError = SystemError::NotSupported();
        return false;
    }
};

// The made drive under its name; every other path is the platform's.
class CMadeDriveProvider : public IDeviceProvider {
public:
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override
    {
        if (strPath == DRIVE) return std::make_unique<CMadeDrive>();
        return GetPlatformDevices().Open(strPath, eMode, nError);
    }
    bool RemoveFile(const std::string& strPath, uint32_t& nError) override
    {
        return GetPlatformDevices().RemoveFile(strPath, nError);
    }
};

bool UnderThreadSanitizer()
{
#if defined(__SANITIZE_THREAD__)
    return true;
#else
    return false;
#endif
}

}  // namespace

TEST_F(DiskToImageTest, AParallelImageOfMoreThan4GiBInflatesToEveryBlockInItsPlace)
{
    if (UnderThreadSanitizer()) GTEST_SKIP() << "5 GiB of data: too slow under ThreadSanitizer";
    CMadeDriveProvider devices;
    m_engine.m_pDevices = &devices;
    g_bOptCompressImage = true;
    g_nOptCompressThreads = 2;
    if (!m_engine.m_zlib.IsLoaded()) GTEST_SKIP() << "no zlib library here";
    const std::string strImage = m_dir.File("large.gmz");
    ASSERT_TRUE(m_engine.Run(DRIVE, strImage, 16));
    EXPECT_TRUE(m_engine.m_bDigestValid);

    // The image reader checks the CRC-32 and the length against the trailer
    // when it comes to the end.
    std::vector<uint8_t> block(MIB), expected(MIB);
    CFakeDeviceProvider files;
    CImageFileReader reader;
    ASSERT_TRUE(reader.Open(files, strImage, true));
    const std::atomic<bool> bAbort{false};
    uint64_t nTotal = 0;
    for (uint32_t nGot = MIB; nGot == MIB;) {
        ASSERT_TRUE(reader.ReadBlock(block.data(), MIB, nGot, bAbort)) << nTotal;
        FillBlock(nTotal, expected.data(), nGot);
        ASSERT_EQ(std::memcmp(block.data(), expected.data(), nGot), 0) << "block " << nTotal / MIB;
        nTotal += nGot;
        ASSERT_LE(nTotal, DRIVE_SIZE);
    }
    EXPECT_EQ(nTotal, DRIVE_SIZE);
    reader.Close();
    const std::vector<uint8_t> image = ReadWholeFile(strImage);
    EXPECT_EQ(LittleEndian32(image.data() + image.size() - 4), static_cast<uint32_t>(DRIVE_SIZE));
}
