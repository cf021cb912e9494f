// The pre-flight's rules over scripted storage (nothing here looks at this
// machine's own disks), and the job runner's pass through them on fake
// drives.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/core/log.h"
#include "jobs/job_preflight.h"
#include "tests/jobs/job_fixture.h"

namespace {

// Disk A (0x800) with partitions 0x801 (root) and 0x802 (swap); disk B
// (0x810) with partition 0x811; disk C (0x820) with partition 0x821, which
// holds a swap file; a loop device 0x700 over that swap file.
constexpr uint64_t DISK_A = 0x800, ROOT_PART = 0x801, SWAP_PART = 0x802;
constexpr uint64_t DISK_B = 0x810, DATA_PART = 0x811, DISK_C = 0x820, SWAP_FILE_PART = 0x821, LOOP = 0x700;

T_STORAGE DeviceStorage(uint64_t nDevice, std::vector<uint64_t> arrBelow)
{
    T_STORAGE storage;
    storage.self.arrDevices = {nDevice};
    storage.below.arrDevices = std::move(arrBelow);
    return storage;
}

// A folder or file on a file system of nPartition (on nDisk).
T_STORAGE FileStorage(uint64_t nPartition, uint64_t nDisk, uint64_t nInode)
{
    T_STORAGE storage;
    storage.self.arrFiles = {{nPartition, nInode}};
    storage.below.arrDevices = {nPartition, nDisk};
    return storage;
}

T_STORAGE LoopOverSwapFile()
{
    T_STORAGE loop = DeviceStorage(LOOP, {LOOP, SWAP_FILE_PART, DISK_C});
    loop.self.arrFiles = FileStorage(SWAP_FILE_PART, DISK_C, 12).self.arrFiles;
    return loop;
}

const T_STORAGE SDA = DeviceStorage(DISK_A, {DISK_A});
const T_STORAGE SDA1 = DeviceStorage(ROOT_PART, {ROOT_PART, DISK_A});
const T_STORAGE SDA2 = DeviceStorage(SWAP_PART, {SWAP_PART, DISK_A});
const T_STORAGE SDA3 = DeviceStorage(DISK_A + 3, {DISK_A + 3, DISK_A});
const T_STORAGE SDB = DeviceStorage(DISK_B, {DISK_B});
const T_STORAGE SDB1 = DeviceStorage(DATA_PART, {DATA_PART, DISK_B});
const T_STORAGE ON_SDB1 = FileStorage(DATA_PART, DISK_B, 99);
const T_STORAGE ON_ROOT = FileStorage(ROOT_PART, DISK_A, 99);

const std::vector<T_SYSTEM_PLACE> PLACES = {
    {"the root file system (/)", FileStorage(ROOT_PART, DISK_A, 2)},
    {"the active swap /dev/sda2", SDA2},
    {"the active swap /swapfile", FileStorage(SWAP_FILE_PART, DISK_C, 12)},
};

struct T_DRIVE_ROW {
    const char* pszName;
    T_STORAGE storage;
    bool bReleased = false;
    bool bOpened = true;
};

struct T_CASE {
    const char* pszWhat;
    int nTask;
    std::vector<T_DRIVE_ROW> arrDrives;
    T_STORAGE image;  // of "img" (no ids: no image, or it did not open)
    std::string strLines;
};

const T_CASE CASES[] = {
    {"one drive under two names", DUMPTASK_VERIFY, {{"/dev/sdb", SDB}, {"/dev/disk/x", SDB}}, {},
     "/dev/sdb and /dev/disk/x are the same drive: give each drive once.\n"},
    {"a drive that did not open is left to its opener", DUMPTASK_WRITE,
     {{"/dev/sdb", SDB}, {"/dev/disk/x", SDB, false, false}}, {}, ""},
    {"a disk and its partition, written", DUMPTASK_ERASE, {{"/dev/sdb", SDB}, {"/dev/sdb1", SDB1}}, {},
     "can't write disk /dev/sdb1: it shares its storage with /dev/sdb, also a drive of this job.\n"},
    {"a disk and its partition, compared", DUMPTASK_VERIFY, {{"/dev/sdb", SDB}, {"/dev/sdb1", SDB1}}, {}, ""},
    {"the image as a drive", DUMPTASK_VERIFY, {{"img", ON_SDB1}}, ON_SDB1,
     "can't verify disk img: it is the image file itself.\n"},
    {"the image on a drive written", DUMPTASK_WRITE, {{"/dev/sdb", SDB}}, ON_SDB1,
     "can't write disk /dev/sdb: the image file img is stored on it.\n"},
    {"the image on a file system the verify unmounts", DUMPTASK_VERIFY,
     {{"/dev/sdb", SDB, true}, {"/dev/sda3", SDA3, true}}, ON_SDB1,
     "can't verify disk /dev/sdb: the image file img is stored on it, on a file system the job would unmount; "
     "give --share-read to leave its volumes mounted.\n"},
    {"the image on a file system a verify leaves mounted", DUMPTASK_VERIFY, {{"/dev/sdb", SDB}}, ON_SDB1, ""},
    {"the new image's folder on the drive read", DUMPTASK_READ, {{"/dev/sdb", SDB}}, ON_SDB1,
     "can't create file img.\nit would be stored on the drive being read (/dev/sdb).\n"},
    {"the running system written", DUMPTASK_WRITE, {{"/dev/sda2", SDA2}, {"/dev/loop0", LoopOverSwapFile()}}, ON_ROOT,
     "refused: /dev/sda2 holds the active swap /dev/sda2 of the running system; it is never written or erased.\n"
     "refused: /dev/loop0 holds the active swap /swapfile of the running system; it is never written or erased.\n"},
    {"the whole system disk erased", DUMPTASK_ERASE, {{"/dev/sda", SDA}}, {},
     "refused: /dev/sda holds the root file system (/) of the running system; it is never written or erased.\n"},
    {"a partition of the system disk that holds none of it", DUMPTASK_WRITE, {{"/dev/sda3", SDA3}}, ON_ROOT, ""},
    {"the running system unmounted by a read", DUMPTASK_READ, {{"/dev/sda", SDA, true}}, ON_SDB1,
     "refused: /dev/sda holds the root file system (/) of the running system, which the job would unmount; give "
     "--share-read to leave its volumes mounted.\n"},
    {"the running system compared without unmounting", DUMPTASK_VERIFY, {{"/dev/sda", SDA}}, ON_SDB1, ""},
};

TEST(Preflight, RefusesWhatTheJobMustNotTouchWithOneErrorLineEach)
{
    for (const T_CASE& c : CASES) {
        SCOPED_TRACE(c.pszWhat);
        CRecorder recorder;
        CLogCapture capture(recorder);
        T_PREFLIGHT_JOB job;
        job.nTask = c.nTask;
        job.image = T_PREFLIGHT_IMAGE{"img", !c.image.self.arrFiles.empty(), c.image};
        for (const T_DRIVE_ROW& r : c.arrDrives)
            job.arrDrives.push_back(T_PREFLIGHT_DRIVE{r.pszName, r.pszName, r.bOpened, r.storage, r.bReleased});
        job.arrPlaces = PLACES;
        job.strLeaveMounted = "give --share-read to leave its volumes mounted";
        EXPECT_EQ(PreflightJob(job), c.strLines.empty());
        std::string strLines;
        for (const T_LOG_LINE& line : recorder.LogLines()) {
            EXPECT_EQ(LogPrefixOf(line.dwWord), ELogPrefix::Error) << line.strText;
            strLines += line.strText;
        }
        EXPECT_EQ(strLines, c.strLines);
    }
}

TEST(ProcSwaps, FirstFieldOfEachLineAfterTheHeadingWithEscapesUndone)
{
    std::istringstream swaps(
        "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
        "/dev/nvme0n1p3                          partition\t16777212\t0\t\t-2\n"
        "/var/my\\040swap\\134file               file\t\t1048572\t\t0\t\t-3\n"
        "\n");
    EXPECT_EQ(ParseProcSwaps(swaps), (std::vector<std::string>{"/dev/nvme0n1p3", "/var/my swap\\file"}));
    std::istringstream none("Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n");
    EXPECT_TRUE(ParseProcSwaps(none).empty());
    std::istringstream short_escape("H\n/a\\04\n/b\\09x\n");
    EXPECT_EQ(ParseProcSwaps(short_escape), (std::vector<std::string>{"/a\\04", "/b\\09x"}));
}

}  // namespace

namespace job_test {
namespace {

// A verify of a disk whose file system holds the image: the runner refuses
// it before a volume is locked, unless the volumes stay mounted.
TEST_F(JobTest, AVerifyOfTheDiskThatHoldsTheImageIsRefusedBeforeAnyVolumeIsLocked)
{
    auto pDisk = AddDisk(0, 0, MIB, "E");
    pDisk->SetStorage(T_STORAGE{{{500}, {}}, {}});
    auto pImage = std::make_shared<CFakeDisk>(pDisk->Contents());
    pImage->SetKind(EDeviceKind::RegularFile);
    pImage->SetStorage(T_STORAGE{{{}, {{500, 9}}}, {{500}, {}}});  // on a file system of the disk
    m_param.szImagePath = "fake:disk.gmi";
    m_fakes.Add(m_param.szImagePath, pImage);
    m_param.nTask = DUMPTASK_VERIFY;
    EXPECT_EQ(RunDumpTask(&m_param), 0);
    EXPECT_EQ(m_volumes['E']->Volume().RequestCount(EFakeRequest::Lock), 0u);
    EXPECT_NE(m_recorder.LogText().find("can't verify disk DISK #0 (E:): the image file " + m_param.szImagePath +
                                        " is stored on it, on a file system the job would unmount.\n"
                                        "  DISK #0 (E:) - VERIFY=NG\n"),
              std::string::npos)
        << m_recorder.LogText();
    EXPECT_EQ(Posted(WM_USER_ERROR), (std::vector<std::pair<WPARAM_T, LPARAM_T>>{{0, 0}}));

    m_param.bShareRead = true;
    EXPECT_EQ(RunDumpTask(&m_param), 0);
    EXPECT_EQ(Posted(WM_USER_ERROR).back(), (std::pair<WPARAM_T, LPARAM_T>{1, 0}));
}

}  // namespace
}  // namespace job_test
