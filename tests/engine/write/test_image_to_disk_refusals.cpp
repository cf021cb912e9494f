// What a write job refuses before it writes anything: the image as its own
// target, a target that holds the image, one drive given twice; and how a
// run stops from outside.
#include <chrono>
#include <thread>

#include "tests/engine/write/image_to_disk_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

TEST_F(ImageToDiskTest, RealFilesGivenAsTheImageAndTargetOrTwiceAreRefused)
{
    CTempDir dir;
    const std::string strImage = dir.File("image.gmi");
    const std::string strTarget = dir.File("target.gmi");
    const auto image = Pattern(2 * MIB, 3);
    const auto old = Pattern(2 * MIB, 4);
    WriteWholeFile(strImage, image);
    WriteWholeFile(strTarget, old);

    // Where opens are exclusive (Windows) the image cannot be opened while
    // it is open as a target; elsewhere the opened handles show the clash.
    const std::string own[] = {strImage};
    EXPECT_FALSE(m_engine.Run(1, own, strImage, 16));
    EXPECT_TRUE(Logged("can't write disk " + strImage + ".\nthe image file " + strImage + " is stored on it.\n") ||
                Logged("can't open file " + strImage + ".\n"));
    EXPECT_EQ(ReadWholeFile(strImage), image);

    m_recorder.Clear();
    CImageToDisk engine;
    Wire(engine);
    const std::string twice[] = {strTarget, strTarget};
    EXPECT_FALSE(engine.Run(2, twice, strImage, 16));
    EXPECT_EQ(m_recorder.CountLines("can't write disk " + strTarget + ".\nit shares its storage with " + strTarget +
                                    ", also a target of this job.\n"),
              1u);
    EXPECT_EQ(ReadWholeFile(strTarget), old);
    EXPECT_FALSE(Logged("bytes wrote"));
}

TEST_F(ImageToDiskTest, ATargetThatHoldsTheImageFileIsRefusedBeforeAnyWrite)
{
    RawImage(2 * MIB);
    AddTarget(0, 2 * MIB);
    auto pHolder = AddTarget(1, 2 * MIB);
    const auto old0 = m_targets[0]->Contents();
    const auto old1 = pHolder->Contents();
    // The image file lives on a file system of the second target.
    T_STORAGE holderStorage;
    holderStorage.self.arrDevices = {42};
    pHolder->SetStorage(holderStorage);
    T_STORAGE imageStorage;
    imageStorage.self.arrFiles = {{1, 2}};
    imageStorage.below.arrDevices = {43, 42};
    m_pImage->SetStorage(imageStorage);
    EXPECT_FALSE(RunWrite(2));
    EXPECT_EQ(m_recorder.CountLines("can't write disk fake:target1.\nthe image file " + FAKE_IMAGE +
                                    " is stored on it.\n"),
              1u);
    EXPECT_EQ(m_targets[0]->Contents(), old0);
    EXPECT_EQ(pHolder->Contents(), old1);
    EXPECT_EQ(pHolder->FlushCount(), 0u);
    ExpectAllClosed();
}

TEST_F(ImageToDiskTest, OneDriveGivenTwiceIsRefusedBeforeAnyWrite)
{
    RawImage(2 * MIB);
    auto pDisk = AddTarget(0, 2 * MIB);
    const auto old = pDisk->Contents();
    m_devices.Add("fake:another-name", pDisk);  // the same drive by another path
    for (const std::string& strSecond : {Target(0), std::string("fake:another-name")}) {
        SCOPED_TRACE(strSecond);
        m_recorder.Clear();
        CImageToDisk engine;
        Wire(engine);
        const std::string paths[] = {Target(0), strSecond};
        EXPECT_FALSE(engine.Run(2, paths, FAKE_IMAGE, 16));
        EXPECT_EQ(m_recorder.CountLines("can't write disk " + strSecond +
                                        ".\nit shares its storage with fake:target0, also a target of this job.\n"),
                  1u);
        EXPECT_EQ(pDisk->Contents(), old);
        EXPECT_EQ(pDisk->FlushCount(), 0u);
        ExpectAllClosed();
    }
}

TEST_F(ImageToDiskTest, AStopMidWriteReturnsPromptlyWithEveryHandleClosed)
{
    RawImage(32 * MIB);
    for (int i = 0; i < 2; ++i) AddTarget(i, 32 * MIB)->SetWriteDelayMs(20);
    std::atomic<bool> bStopped{false};
    std::chrono::steady_clock::time_point stopAt;
    std::thread stopper([&] {
        while (m_engine.m_Task[0].nRemain.load() > 30 * MIB || m_engine.m_Task[0].nRemain.load() == 0) {
            std::this_thread::sleep_for(1ms);
        }
        stopAt = std::chrono::steady_clock::now();
        m_engine.Abort();
        bStopped = true;
    });
    const bool bResult = RunWrite(2);
    const auto end = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_FALSE(bResult);
    ASSERT_TRUE(bStopped);
    EXPECT_LT(end - stopAt, 2s);
    EXPECT_GT(m_engine.m_Task[0].nRemain.load(), 0u);
    EXPECT_FALSE(Logged("retry out"));
    EXPECT_FALSE(Logged("bytes wrote"));
    ExpectAllClosed();
}

TEST_F(ImageToDiskTest, AStopBeforeTheRunWritesNothing)
{
    RawImage(2 * MIB);
    const auto old = AddTarget(0, 2 * MIB)->Contents();
    m_engine.Abort();
    EXPECT_FALSE(RunWrite(1));
    EXPECT_EQ(m_targets[0]->Contents(), old);
    EXPECT_EQ(m_targets[0]->FlushCount(), 0u);
    ExpectAllClosed();
}

TEST_F(ImageToDiskTest, AStopDuringTheReadBackEndsItWithoutADigest)
{
    g_bOptMD5Verify = true;
    const auto image = RawImage(32 * MIB);
    AddTarget(0, 32 * MIB)->SetReadDelayMs(20);  // only the read-back reads the target
    std::thread stopper([&] {
        while (!m_engine.m_Task[0].bMd5Phase || m_engine.m_Task[0].nMd5Remain.load() == 32 * MIB) {
            std::this_thread::sleep_for(1ms);
        }
        m_engine.Abort();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunWrite(1));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_EQ(m_targets[0]->Contents(), image);  // the write itself was done
    EXPECT_FALSE(Logged("fake:target0 MD5SUM="));
    EXPECT_FALSE(m_engine.m_Task[0].bMd5Match);
    ExpectAllClosed();
}

}  // namespace
