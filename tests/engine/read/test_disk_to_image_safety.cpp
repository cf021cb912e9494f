// The read engine never destroys what it cannot replace: existing images
// stay untouched by a job that fails before its first block, new images
// that never got a byte are removed, and drives and images of the wrong
// kind, or an image stored on the drive being read, are refused.
#include <filesystem>

#include "tests/engine/read/disk_to_image_fixture.h"

namespace {

const std::vector<uint8_t> OLD_IMAGE = {'o', 'l', 'd', '!'};

// Fails every region allocation after the first few, so the pool can be
// only partly built.
std::atomic<int> g_nRegionsLeft{0};
void* FailingAllocator(size_t nBytes)
{
    return g_nRegionsLeft.fetch_sub(1) > 0 ? DefaultAllocRegion(nBytes) : nullptr;
}

TEST_F(DiskToImageTest, AJobThatFailsBeforeItsFirstBlockLeavesAnExistingImageAsItWas)
{
    struct T_CASE {
        const char* pName;
        void (*pfnBreak)(CFakeDisk& disk);
        std::string strLine;
    };
    const T_CASE cases[] = {
        {"drive is a character device", [](CFakeDisk& d) { d.SetKind(EDeviceKind::CharacterDevice); },
         "can't open disk " + DRIVE + ".\nit is a character device, not a disk.\n"},
        {"drive is a folder", [](CFakeDisk& d) { d.SetKind(EDeviceKind::Directory); },
         "can't open disk " + DRIVE + ".\nit is a folder, not a disk.\n"},
        {"drive is a pipe", [](CFakeDisk& d) { d.SetKind(EDeviceKind::PipeOrSocket); },
         "can't open disk " + DRIVE + ".\nit is a pipe or socket, not a disk.\n"},
        {"no size", [](CFakeDisk& d) { d.FailLengthRequest(SystemError::NotSupported(), true); },
         "GetDiskSize() failed.\n" + GetSystemErrorText(SystemError::NotSupported()) + "\n"},
        {"first block unreadable", [](CFakeDisk& d) { d.FailReads(0, 1, SystemError::IoError()); },
         "disk read retry out.\n"},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.pName);
        m_recorder.Clear();
        WriteWholeFile(Image(), OLD_IMAGE);
        auto pDisk = CFakeDisk::WithPattern(2 * MIB);
        c.pfnBreak(*pDisk);
        CScriptedPrompt yes(true);
        EXPECT_FALSE(RunRead(pDisk, &yes));
        EXPECT_EQ(ReadWholeFile(Image()), OLD_IMAGE);
        EXPECT_EQ(m_recorder.CountLines(c.strLine), 1u);
        EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
    }
}

TEST_F(DiskToImageTest, APoolThatCanBeOnlyPartlyBuiltFailsBeforeTheImageIsTouched)
{
    WriteWholeFile(Image(), OLD_IMAGE);
    g_nRegionsLeft = 5;
    SetRegionAllocator(FailingAllocator);
    CScriptedPrompt yes(true);
    const bool bResult = RunRead(CFakeDisk::WithPattern(MIB), &yes);
    SetRegionAllocator(nullptr);
    EXPECT_FALSE(bResult);
    EXPECT_EQ(yes.m_nAsked, 0);  // nobody is asked about a job that cannot run
    EXPECT_EQ(ReadWholeFile(Image()), OLD_IMAGE);
    EXPECT_EQ(m_recorder.CountLines("out of memory.\n" + GetSystemErrorText(SystemError::NoMemory()) + "\n"), 1u);
}

TEST_F(DiskToImageTest, ANewImageThatNeverGotAByteIsRemoved)
{
    auto pDisk = CFakeDisk::WithPattern(2 * MIB);
    pDisk->FailReads(0, 1, SystemError::IoError());
    EXPECT_FALSE(RunRead(pDisk));
    EXPECT_FALSE(std::filesystem::exists(Image()));
    // Once a block is in, the partial image stays (the slow retries give
    // the writer time to store the first block).
    pDisk = CFakeDisk::WithPattern(2 * MIB);
    pDisk->FailReads(MIB, MIB + 1, SystemError::IoError());
    pDisk->SetReadDelayMs(20);
    EXPECT_FALSE(RunRead(pDisk));
    EXPECT_EQ(ReadWholeFile(Image()).size(), MIB);
}

TEST_F(DiskToImageTest, AReplacedImageLosesItsOldContentsOnlyWithItsFirstBlock)
{
    WriteWholeFile(Image(), std::vector<uint8_t>(5 * MIB, 0xEE));
    auto pDisk = CFakeDisk::WithPattern(3 * MIB);
    pDisk->FailReads(2 * MIB, 2 * MIB + 1, SystemError::IoError());
    pDisk->SetReadDelayMs(20);  // slow retries: the writer stores the first two blocks
    CScriptedPrompt yes(true);
    EXPECT_FALSE(RunRead(pDisk, &yes));
    // What was read replaced the old image, nothing of the old one is left.
    const auto image = ReadWholeFile(Image());
    ASSERT_EQ(image.size(), 2 * MIB);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), pDisk->Contents().begin()));
    // A drive of 0 bytes read in full replaces the image with nothing.
    WriteWholeFile(Image(), OLD_IMAGE);
    EXPECT_TRUE(RunRead(std::make_shared<CFakeDisk>(std::vector<uint8_t>{}), &yes));
    EXPECT_TRUE(ReadWholeFile(Image()).empty());
}

TEST_F(DiskToImageTest, AnImageOfTheWrongKindIsRefusedWithoutAQuestion)
{
    for (EDeviceKind eKind : {EDeviceKind::BlockDevice, EDeviceKind::CharacterDevice, EDeviceKind::Directory}) {
        SCOPED_TRACE(DeviceKindText(eKind));
        m_recorder.Clear();
        auto pImage = FakeImage();
        pImage->SetKind(eKind);
        m_devices.Add(DRIVE, CFakeDisk::WithPattern(MIB));
        CScriptedPrompt yes(true);
        m_engine.m_pPrompt = &yes;
        EXPECT_FALSE(m_engine.Run(DRIVE, FAKE_IMAGE, 16));
        EXPECT_EQ(m_recorder.CountLines("can't create file " + FAKE_IMAGE + ".\nit is " +
                                        DeviceKindText(eKind) + ", not a regular file.\n"),
                  1u);
        EXPECT_EQ(pImage->SetLengthCount(), 0u);
        EXPECT_TRUE(pImage->Contents().empty());
    }
}

TEST_F(DiskToImageTest, AnImageStoredOnTheDriveBeingReadIsRefused)
{
    // The image's file system lives on a partition of the drive; the loop
    // device case: the drive is backed by the image file itself.
    const uint64_t DRIVE_DEV = 0x800010, PARTITION_DEV = 0x800011, IMAGE_FS = 0x99;
    const std::pair<uint64_t, uint64_t> IMAGE_ID{IMAGE_FS, 1234};
    T_STORAGE onPartition;
    onPartition.self.arrFiles = {IMAGE_ID};
    onPartition.below.arrDevices = {PARTITION_DEV, DRIVE_DEV};
    T_STORAGE disk;
    disk.self.arrDevices = {DRIVE_DEV};
    T_STORAGE loop;
    loop.self.arrDevices = {0x700000};
    loop.self.arrFiles = {IMAGE_ID};
    T_STORAGE elsewhere;
    elsewhere.self.arrFiles = {{IMAGE_FS, 99}};
    elsewhere.below.arrDevices = {IMAGE_FS};
    const struct {
        T_STORAGE drive, image;
        bool bStored;
    } cases[] = {{disk, onPartition, true}, {loop, onPartition, true}, {disk, elsewhere, false}, {loop, elsewhere, false}};
    for (const auto& c : cases) {
        m_recorder.Clear();
        auto pDisk = CFakeDisk::WithPattern(MIB);
        pDisk->SetStorage(c.drive);
        auto pImage = FakeImage();
        pImage->SetStorage(c.image);
        m_devices.Add(DRIVE, pDisk);
        EXPECT_EQ(m_engine.Run(DRIVE, FAKE_IMAGE, 16), !c.bStored);
        const std::string strLine =
            "can't create file " + FAKE_IMAGE + ".\nit would be stored on the drive being read (" + DRIVE + ").\n";
        EXPECT_EQ(m_recorder.CountLines(strLine), c.bStored ? 1u : 0u);
        EXPECT_EQ(pImage->Contents().empty(), c.bStored);
        EXPECT_EQ(pImage->Removed(), c.bStored);  // the new, empty image goes again
    }
}

TEST_F(DiskToImageTest, AFullDiskEndsTheRunAtOnceNamingWhatTheImageHolds)
{
    auto pImage = FakeImage();
    pImage->FullAt(2 * MIB + 1000, SystemError::DiskFull());
    m_devices.Add(DRIVE, CFakeDisk::WithPattern(8 * MIB));
    EXPECT_FALSE(m_engine.Run(DRIVE, FAKE_IMAGE, 16));
    EXPECT_EQ(m_recorder.CountLines("no room for the image " + FAKE_IMAGE + "; it holds 2098152 bytes.\n" +
                                    GetSystemErrorText(SystemError::DiskFull()) + "\n"),
              1u);
    EXPECT_EQ(m_recorder.LogText().find("file write error"), std::string::npos);  // not retried
    EXPECT_EQ(m_recorder.LogText().find("retry out"), std::string::npos);
    EXPECT_EQ(pImage->Contents().size(), 2 * MIB + 1000);
    EXPECT_EQ(m_engine.GetImageBytes(), 2 * MIB + 1000);
}

TEST_F(DiskToImageTest, ShortImageWritesCarryOnWithTheRestOfTheBlock)
{
    auto pImage = FakeImage();
    pImage->ShortWrites(MIB, 2 * MIB);  // every write there stores half of what it is given
    auto pDisk = CFakeDisk::WithPattern(3 * MIB);
    m_devices.Add(DRIVE, pDisk);
    // Each write carries on where the last one stopped; halving runs out at
    // one byte, after which a write stores nothing, and eleven such writes
    // give the block up.
    EXPECT_FALSE(m_engine.Run(DRIVE, FAKE_IMAGE, 16));
    EXPECT_EQ(m_recorder.CountLines("write count mismatch 00000001:00000000.\n"), 11u);
    EXPECT_EQ(m_recorder.CountLines("file write retry out.\n"), 1u);
    const auto& image = pImage->Contents();
    ASSERT_EQ(image.size(), 2 * MIB - 1);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), pDisk->Contents().begin()));
}

TEST_F(DiskToImageTest, AnImageWriteThatStoresPartOfABlockIsCompletedByTheNext)
{
    auto pImage = FakeImage();
    pImage->ShortWrites(MIB, MIB + 1);  // only the first write of that block touches it
    auto pDisk = CFakeDisk::WithPattern(3 * MIB);
    m_devices.Add(DRIVE, pDisk);
    ASSERT_TRUE(m_engine.Run(DRIVE, FAKE_IMAGE, 16));
    EXPECT_EQ(m_recorder.LogText().find("mismatch"), std::string::npos);
    EXPECT_EQ(pImage->Contents(), pDisk->Contents());
}

}  // namespace
