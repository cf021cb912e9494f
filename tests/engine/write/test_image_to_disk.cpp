// The write engine beyond the engine matrix: the MD5 read-back check, and
// the refusal that concerns the image. (Its head lines:
// tests/e2e/test_write_loop.sh.)
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

// The read-back digest of each drive is told beside the image's, whose
// line comes first. A drive whose data change under the job gives another
// digest while its write stays good; writing only the differences still
// reads back the whole length, skipped units and all; drives of 0 bytes
// wait for the digest of a slow image that might go on past them.
TEST_F(WriteTest, TheMd5CheckTellsEachDrivesReadBackBesideTheImages)
{
    struct T_CASE {
        std::vector<uint8_t> (*pfnSetUp)(WriteTest& t);  // gives what drives 0 and 1 must hold
        bool bSecondMatches;
        const char* pszWrote[2];
    };
    const T_CASE cases[] = {
        {[](WriteTest& t) {
             const auto image = t.RawImage(3 * MIB + 5);
             t.AddDrive(0, image.size());
             t.AddDrive(1, image.size())->UnstableReads(2 * MIB, 2 * MIB + 16);
             return image;
         },
         false, {" - 3145733 bytes wrote.\n", " - 3145733 bytes wrote.\n"}},
        {[](WriteTest& t) {
             t.m_options.bCompareAfterWrite = true;
             const auto image = t.RawImage(4 * MIB + 300);
             auto partly = Pattern(image.size(), 50);
             std::copy(image.begin(), image.begin() + static_cast<ptrdiff_t>(2 * MIB + 7), partly.begin());
             t.AddDriveWith(0, partly);
             t.AddDriveWith(1, image);
             return image;
         },
         true, {" - 2097452 bytes wrote (skip=2097152).\n", " - 0 bytes wrote (skip=4194604).\n"}},
        {[](WriteTest& t) {
             t.m_options.bForceWrite = true;
             t.CompressedImage(Pattern(MIB, 9));
             t.m_pImage->SetReadDelayMs(200);
             t.AddDrive(0, 0);
             t.AddDrive(1, 0);
             return std::vector<uint8_t>{};
         },
         true, {" - 0 bytes wrote.\n", " - 0 bytes wrote.\n"}},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.pszWrote[1]);
        NextCase();
        m_options = {};
        m_options.bMD5Verify = true;
        const auto held = c.pfnSetUp(*this);
        const T_ENGINE_RESULT result = Write(2);
        ASSERT_TRUE(result.bOk && result.bDigest);
        const std::string strDigest = Md5Of(held), strLog = m_recorder.LogText();
        EXPECT_EQ(DigestText(result.digest), strDigest);
        EXPECT_EQ(Count("IMAGE MD5SUM=" + strDigest + "\n"), 1u);
        for (int i : {0, 1}) {
            const bool bMatches = i == 0 || c.bSecondMatches;
            EXPECT_EQ(m_drives[i]->Contents(), held) << i;
            EXPECT_EQ(result.arrSlots[i].eVerdict, ESlotVerdict::Ok) << i;
            EXPECT_EQ(result.arrSlots[i].nBytes, held.size()) << i;
            EXPECT_EQ(result.DigestMatches(i), bMatches) << i;
            EXPECT_EQ(Count(Drive(i) + " MD5SUM=" + strDigest + "\n"), bMatches ? 1u : 0u) << i;
            const size_t nLine = strLog.find(Drive(i) + " MD5SUM=");
            EXPECT_LT(strLog.find("IMAGE MD5SUM="), nLine) << i;
            EXPECT_LT(strLog.find(Drive(i) + c.pszWrote[i]), nLine) << i;
        }
    }
}

// Writing a drive that holds the image would destroy the data being
// written: refused before any write. (Where the platform's own files say
// so, the same rule: tests/e2e/test_write_file.sh, the image as a drive.)
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
}

}  // namespace
}  // namespace engine_test
