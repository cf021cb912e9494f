// The read engine beyond the engine matrix: what the image and the result
// hold, its log and progress, an image that cannot be written, and what it
// does to an image that exists already.
#include "tests/engine/read/read_rig.h"

namespace engine_test {
namespace {

// The log of a drive read into a real file; a medium that ends early is
// a good read of what it had. The image's progress ends full.
TEST_F(ReadTest, TheLogNamesTheDriveAndTheImageAndGivesTheDigestOfWhatTheMediumHad)
{
    auto pDisk = AddDrive(0, 6 * MIB);
    pDisk->EndEarlyAt(3 * MIB + 4096);
    T_ENGINE_JOB job = ReadJob();
    job.arrDrives[0].strName = "DISK #1";
    const T_ENGINE_RESULT result = m_engine.Run(job);
    ASSERT_TRUE(result.bOk);
    const auto data = Head(pDisk->Contents(), 3 * MIB + 4096);
    EXPECT_EQ(ImageData(), data);
    EXPECT_EQ(DigestText(result.arrSlots[0].digest), Md5Of(data));
    EXPECT_EQ(result.arrSlots[0].nBytes, data.size());
    EXPECT_EQ(result.nTotal, 6 * MIB);
    const std::vector<std::string> lines = {
        "READ DISK #1 => " + m_strImage + "\n", "DISK #1\n", "  disk size=6291456 bytes.\n",
        "the drive ended at 3149824 bytes, before its reported size of 6291456 bytes.\n",
        "DISK MD5SUM=" + Md5Of(data) + "\n", "DISK #1 - 3149824 bytes dumped.\n"};
    std::vector<std::string> logged;
    for (const T_LOG_LINE& line : m_recorder.LogLines()) logged.push_back(line.strText);
    EXPECT_EQ(logged, lines);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_IMAGE).back(), 1000);
}

// The image is a fake; the drive is larger than the pool, so the reader is
// still busy when the writer gives up. Nothing is dumped; the image holds
// what was stored before the failure.
TEST_F(ReadTest, AnImageThatCannotBeWrittenEndsTheRunWithWhatItHolds)
{
    struct T_CASE {
        void (*pfnBreak)(CFakeDisk& image);
        std::vector<std::pair<std::string, size_t>> lines;  // each with how often it is logged
        uint64_t nHeld;
        uint32_t dwError;
    };
    const std::string strFull = GetSystemErrorText(SystemError::DiskFull()) + "\n";
    const T_CASE cases[] = {
        // Each write there stores half of what it is given; halving runs
        // out at one byte, after which a write stores nothing.
        {[](CFakeDisk& d) { d.ShortWrites(MIB, 2 * MIB); },
         {{"write count mismatch 00000001:00000000.\n", 11}, {"file write retry out.\n", 1}},
         2 * MIB - 1, 0},
        // No retry can make room.
        {[](CFakeDisk& d) { d.FullAt(2 * MIB + 1000, SystemError::DiskFull()); },
         {{"no room for the image " + IMAGE + "; it holds 2098152 bytes.\n" + strFull, 1},
          {"file write error", 0},
          {"retry out", 0}},
         2 * MIB + 1000, SystemError::DiskFull()},
        {[](CFakeDisk& d) { d.FailFlush(SystemError::IoError()); }, {{"file flush error.\n" + IoError(), 1}},
         48 * MIB, SystemError::IoError()},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.lines[0].first);
        NextCase();
        const auto data = AddDrive(0, 48 * MIB)->Contents();
        c.pfnBreak(*FakeImage());
        const T_ENGINE_RESULT result = Read();
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Stopped);
        EXPECT_EQ(result.dwError, c.dwError);
        for (const auto& [strLine, nTimes] : c.lines) EXPECT_EQ(nTimes ? Count(strLine) : Logged(strLine), nTimes);
        EXPECT_FALSE(Logged("bytes dumped"));
        EXPECT_EQ(m_pImage->Contents(), Head(data, c.nHeld));
        EXPECT_GE(m_pImage->FlushCount(), 1u);
        ExpectAllClosed();
    }
    // A write that stores part of a block is completed by the next.
    NextCase();
    const auto data = AddDrive(0, 3 * MIB)->Contents();
    FakeImage()->ShortWrites(MIB, MIB + 1);
    ASSERT_TRUE(Read().bOk);
    EXPECT_FALSE(Logged("mismatch"));
    EXPECT_EQ(m_pImage->Contents(), data);
}

// An existing image is replaced only when the answer is yes or the option
// says so. Its old contents go with the first block written, not before: a
// job that fails earlier leaves them, and nobody is asked about a job that
// cannot run. A new image that never got a byte is removed; once a block is
// in, the partial image stays. nImage: what the image holds afterwards, the
// drive's first nImage bytes, KEPT (its old contents) or GONE (no file).
TEST_F(ReadTest, AnImageIsReplacedOnlyWhenAllowedAndLosesItsOldContentsOnlyWithTheFirstBlock)
{
    constexpr int64_t KEPT = -1, GONE = -2;
    const std::vector<uint8_t> old(3 * MIB, 0xEE);  // longer than the drives
    using FnSetUp = void (*)(ReadTest& t, CFakeDisk& d);
    const FnSetUp none = [](ReadTest&, CFakeDisk&) {};
    const FnSetUp firstUnreadable = [](ReadTest&, CFakeDisk& d) { d.FailReads(0, 1, SystemError::IoError()); };
    const struct {
        const char* pName;
        bool bExists;
        int nAnswer;  // -1: nobody to ask
        bool bOverwrite;
        FnSetUp pfnSetUp;
        uint64_t nDrive;
        bool bOk;
        int nAsked;
        int64_t nImage;
    } cases[] = {
        {"answer no", true, 0, false, none, MIB + 7, false, 1, KEPT},
        {"nobody to ask", true, -1, false, none, MIB + 7, false, 0, KEPT},
        {"answer yes", true, 1, false, none, MIB + 7, true, 1, MIB + 7},
        {"overwrite option", true, 0, true, none, MIB + 7, true, 0, MIB + 7},
        {"drive is no disk", true, 1, false, [](ReadTest&, CFakeDisk& d) { d.SetKind(EDeviceKind::CharacterDevice); },
         2 * MIB, false, 0, KEPT},
        {"first block unreadable", true, 1, false, firstUnreadable, 2 * MIB, false, 1, KEPT},
        {"new, first block unreadable", false, -1, false, firstUnreadable, 2 * MIB, false, 0, GONE},
        // Slow retries: the writer stores the first two blocks.
        {"partial", true, 1, false,
         [](ReadTest&, CFakeDisk& d) {
             d.FailReads(2 * MIB, 2 * MIB + 1, SystemError::IoError());
             d.SetReadDelayMs(20);
         },
         3 * MIB, false, 1, 2 * MIB},
        {"drive of 0 bytes", true, 1, false, none, 0, true, 1, 0},
        // Last: the engine stays stopped.
        {"stopped before", true, 1, false, [](ReadTest& t, CFakeDisk&) { t.m_engine.Abort(); }, 2 * MIB, false, 0,
         KEPT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pName);
        NextCase();
        if (c.bExists) WriteWholeFile(m_strImage, old);
        m_options.bOverwrite = c.bOverwrite;
        CScriptedPrompt prompt(c.nAnswer == 1);
        auto pDisk = AddDrive(0, c.nDrive);
        c.pfnSetUp(*this, *pDisk);
        const T_ENGINE_RESULT result = Read(c.nAnswer < 0 ? nullptr : &prompt);
        EXPECT_EQ(result.bOk, c.bOk);
        EXPECT_EQ(prompt.m_nAsked, c.nAsked);
        EXPECT_EQ(prompt.m_strQuestion, c.nAsked ? "Gravelmoor: 上書きしますか？" : "");
        EXPECT_EQ(Count("can't create file " + m_strImage + ".\nit exists and was kept as it is.\n"),
                  c.bExists && c.nAnswer <= 0 && !c.bOverwrite ? 1u : 0u);
        EXPECT_EQ(ImageExists(), c.nImage != GONE);
        if (c.nImage >= 0) {
            const auto data = Head(pDisk->Contents(), static_cast<uint64_t>(c.nImage));
            EXPECT_EQ(ImageData(), data);
            EXPECT_EQ(result.arrSlots[0].nBytes, data.size());
            EXPECT_TRUE(!c.bOk || DigestText(result.arrSlots[0].digest) == Md5Of(data));
        } else if (c.nImage == KEPT) {
            EXPECT_EQ(ImageData(), old);
        }
    }
}

// Refused without a question: an image that is not a regular file, one
// that would be stored on the drive being read, one that cannot be made.
TEST_F(ReadTest, AnImageThatCannotHoldTheDriveIsRefused)
{
    for (EDeviceKind eKind : {EDeviceKind::BlockDevice, EDeviceKind::CharacterDevice, EDeviceKind::Directory}) {
        SCOPED_TRACE(DeviceKindText(eKind));
        NextCase();
        AddDrive(0, MIB);
        FakeImage()->SetKind(eKind);
        CScriptedPrompt yes(true);
        EXPECT_FALSE(Read(&yes).bOk);
        EXPECT_EQ(Count("can't create file " + IMAGE + ".\nit is " + DeviceKindText(eKind) + ", not a regular file.\n"),
                  1u);
        EXPECT_EQ(yes.m_nAsked, 0);
        EXPECT_EQ(m_pImage->SetLengthCount(), 0u);
        EXPECT_TRUE(m_pImage->Contents().empty());
    }
    // The image's file system lives on a partition of the drive; or the
    // drive is a loop device backed by the image file itself.
    const uint64_t DRIVE_DEV = 0x800010, PARTITION_DEV = 0x800011, IMAGE_FS = 0x99;
    T_STORAGE onPartition, disk, loop, elsewhere;
    onPartition.self.arrFiles = {{IMAGE_FS, 1234}};
    onPartition.below.arrDevices = {PARTITION_DEV, DRIVE_DEV};
    disk.self.arrDevices = {DRIVE_DEV};
    loop.self.arrDevices = {0x700000};
    loop.self.arrFiles = {{IMAGE_FS, 1234}};
    elsewhere.self.arrFiles = {{IMAGE_FS, 99}};
    elsewhere.below.arrDevices = {IMAGE_FS};
    const struct {
        T_STORAGE drive, image;
        bool bStored;
    } cases[] = {{disk, onPartition, true}, {loop, onPartition, true}, {disk, elsewhere, false}, {loop, elsewhere, false}};
    for (const auto& c : cases) {
        NextCase();
        AddDrive(0, MIB)->SetStorage(c.drive);
        FakeImage()->SetStorage(c.image);
        EXPECT_EQ(Read().bOk, !c.bStored);
        EXPECT_EQ(Count("can't create file " + IMAGE + ".\nit would be stored on the drive being read (" + Drive(0) +
                        ").\n"),
                  c.bStored ? 1u : 0u);
        EXPECT_EQ(m_pImage->Removed(), c.bStored);  // the new, empty image goes again
    }
    NextCase();
    AddDrive(0, MIB);
    m_strImage = m_dir.File("no-such-folder/image.gmi");
    EXPECT_FALSE(Read().bOk);
    EXPECT_TRUE(Logged("can't create file " + m_strImage + ".\n"));
}

}  // namespace
}  // namespace engine_test
