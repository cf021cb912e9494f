// The write engine beyond the engine matrix: several drives fed by one
// image, its log and progress, the MD5 read-back check, and the refusal
// that concerns the image.
#include "tests/engine/engine_rig.h"
#include "tests/support/temp_dir.h"

namespace engine_test {
namespace {

// The head line names the image and every drive; every drive's lines give
// the image's size beside its own; the image's progress ends full.
TEST_F(WriteTest, TheLogNamesTheImageAndEveryDrive)
{
    RawImage(5 * MIB + 512);
    for (int i = 0; i < 4; ++i) AddDrive(i, 5 * MIB + 512);
    T_ENGINE_JOB job = Job(4);
    job.arrDrives[2].strName = "DISK #7";
    const T_ENGINE_RESULT result = CImageToDisk().Run(job);
    ASSERT_TRUE(result.bOk);
    EXPECT_EQ(Count("WRITE " + IMAGE + " => fake:drive0, fake:drive1, DISK #7, fake:drive3\n"), 1u);
    EXPECT_EQ(Count("  file size=5243392 bytes.\n"), 4u);
    EXPECT_FALSE(Logged("MD5SUM"));  // no digest without the MD5 check
    EXPECT_FALSE(result.bDigest);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_IMAGE).back(), 1000);
}

// The read-back digest of an untouched drive equals the image's, and its
// line follows the image's; a drive whose data change under the job gives
// another digest, while its write stays a good one.
TEST_F(WriteTest, TheMd5CheckTellsAnUntouchedDriveFromATamperedOne)
{
    m_options.bMD5Verify = true;
    const auto image = RawImage(3 * MIB + 5);
    AddDrive(0, image.size());
    AddDrive(1, image.size())->UnstableReads(2 * MIB, 2 * MIB + 16);
    const T_ENGINE_RESULT result = Write(2);
    ASSERT_TRUE(result.bOk);
    const std::string strDigest = Md5Of(image);
    ASSERT_TRUE(result.bDigest);
    EXPECT_EQ(Md5Text(result.digest), strDigest);
    EXPECT_TRUE(result.DigestMatches(0));
    EXPECT_FALSE(result.DigestMatches(1));
    EXPECT_TRUE(result.arrSlots[1].bDigest);
    EXPECT_EQ(result.arrSlots[1].eVerdict, ESlotVerdict::Ok);
    EXPECT_EQ(m_drives[1]->Contents(), image);
    const std::string strLog = m_recorder.LogText();
    const std::string strLine = "fake:drive0 MD5SUM=" + strDigest + "\n";
    EXPECT_EQ(Count("IMAGE MD5SUM=" + strDigest + "\n"), 1u);
    EXPECT_LT(strLog.find("IMAGE MD5SUM="), strLog.find(strLine));
    EXPECT_LT(strLog.find("fake:drive0 - 3145733 bytes wrote.\n"), strLog.find(strLine));
    EXPECT_EQ(Count("fake:drive1 MD5SUM=" + strDigest + "\n"), 0u);
    EXPECT_TRUE(Logged("fake:drive1 MD5SUM="));
}

// Writing only the differences, the read-back still covers the whole
// length from offset 0, skipped units and all: a drive that holds part of
// the image, or all of it, is read back whole and found good.
TEST_F(WriteTest, TheMd5CheckOfADifferencesOnlyWriteReadsBackTheWholeLength)
{
    m_options.bCompareAfterWrite = m_options.bMD5Verify = true;
    const auto image = RawImage(4 * MIB + 300);
    auto partly = Pattern(image.size(), 50);
    std::copy(image.begin(), image.begin() + static_cast<ptrdiff_t>(2 * MIB + 7), partly.begin());
    for (const auto& old : {partly, image}) {
        SCOPED_TRACE(old == image ? "all of it" : "part of it");
        NextCase();
        AddDriveWith(0, old);
        const T_ENGINE_RESULT result = Write(1);
        ASSERT_TRUE(result.bOk);
        EXPECT_EQ(m_drives[0]->Contents(), image);
        EXPECT_EQ(result.arrSlots[0].nBytes, image.size());
        EXPECT_TRUE(result.DigestMatches(0));
        EXPECT_EQ(Md5Text(result.arrSlots[0].digest), Md5Of(image));
        EXPECT_EQ(Count(Drive(0) + " MD5SUM=" + Md5Of(image) + "\n"), 1u);
        EXPECT_TRUE(Logged(old == image ? " - 0 bytes wrote (skip=4194604)" : " bytes wrote (skip=2097152)"));
    }
}

// Drives of 0 bytes are read back at once, while the reader still waits
// for its first (slow) read of the image to learn whether the image goes
// on past them: the comparison must wait for its digest.
TEST_F(WriteTest, TheReadBackWaitsForTheImagesDigest)
{
    m_options.bMD5Verify = true;
    m_options.bForceWrite = true;
    CompressedImage(Pattern(MIB, 9));
    m_pImage->SetReadDelayMs(200);
    AddDrive(0, 0);
    AddDrive(1, 0);
    const T_ENGINE_RESULT result = Write(2);
    ASSERT_TRUE(result.bOk);
    const std::string strEmpty = "d41d8cd98f00b204e9800998ecf8427e";
    EXPECT_EQ(Count("IMAGE MD5SUM=" + strEmpty + "\n"), 1u);
    const std::string strLog = m_recorder.LogText();
    for (int i : {0, 1}) {
        EXPECT_TRUE(result.DigestMatches(i)) << i;
        EXPECT_LT(strLog.find("IMAGE MD5SUM="), strLog.find(Drive(i) + " MD5SUM=" + strEmpty)) << i;
    }
}

// Writing a drive that holds the image would destroy the data being
// written: refused before any write, whether the fakes or the platform's
// own files say where the image lives.
TEST_F(WriteTest, ADriveThatHoldsTheImageIsRefused)
{
    RawImage(2 * MIB);
    AddDrive(0, 2 * MIB);
    auto pHolder = AddDrive(1, 2 * MIB);
    const auto old = pHolder->Contents();
    T_STORAGE holderStorage;
    holderStorage.self.arrDevices = {42};
    pHolder->SetStorage(holderStorage);
    T_STORAGE imageStorage;
    imageStorage.self.arrFiles = {{1, 2}};
    imageStorage.below.arrDevices = {43, 42};
    m_pImage->SetStorage(imageStorage);
    EXPECT_FALSE(Write(2).bOk);
    EXPECT_EQ(Count("can't write disk fake:drive1.\nthe image file " + IMAGE + " is stored on it.\n"), 1u);
    EXPECT_EQ(pHolder->Contents(), old);
    EXPECT_EQ(m_drives[0]->FlushCount(), 0u);
    ExpectAllClosed();

    // Where opens are exclusive (Windows) the image cannot be opened while
    // it is open as a target; elsewhere the opened handles show the clash.
    CTempDir dir;
    const std::string strImage = dir.File("image.gmi");
    const auto data = Pattern(2 * MIB, 3);
    WriteWholeFile(strImage, data);
    T_ENGINE_JOB job = Job(1);
    job.arrDrives[0].strPath = job.strImage = strImage;
    EXPECT_FALSE(CImageToDisk().Run(job).bOk);
    EXPECT_TRUE(Logged("can't write disk " + strImage + ".\nthe image file " + strImage + " is stored on it.\n") ||
                Logged("can't open file " + strImage + ".\n"));
    EXPECT_EQ(ReadWholeFile(strImage), data);
}

}  // namespace
}  // namespace engine_test
