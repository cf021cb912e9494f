// The job's pre-flight through its one entry, on fake drives with scripted
// storage and scripted system places (nothing here looks at this machine's
// own disks), and the job runner's pass through it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "engine/codecs/codec_libraries.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/zlib/zlib_binding.h"
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
const T_STORAGE SDA2 = DeviceStorage(SWAP_PART, {SWAP_PART, DISK_A});
const T_STORAGE SDA3 = DeviceStorage(DISK_A + 3, {DISK_A + 3, DISK_A});
const T_STORAGE SDB = DeviceStorage(DISK_B, {DISK_B});
const T_STORAGE SDB1 = DeviceStorage(DATA_PART, {DATA_PART, DISK_B});
const T_STORAGE ON_SDB1 = FileStorage(DATA_PART, DISK_B, 99);
const T_STORAGE ON_ROOT = FileStorage(ROOT_PART, DISK_A, 99);

constexpr uint64_t SIZE = 64 * 1024;
const std::string IMAGE = "fake:img";
const std::string MOUNTED = "give --share-read to leave its volumes mounted";

// A job description over fake drives, and its pre-flight's lines.
class CPreflightBench {
public:
    CPreflightBench()
    {
        m_param.pDevices = &m_devices;
        m_param.pDriveInfo = &m_inventory;
        m_param.pSystemPlaces = &m_places;
        m_param.szImagePath = IMAGE;
        m_param.wording = T_REFUSAL_WORDING{true, MOUNTED, "--force-write"};
        m_places = {{"the root file system (/)", FileStorage(ROOT_PART, DISK_A, 2)},
                    {"the active swap /dev/sda2", SDA2},
                    {"the active swap /swapfile", FileStorage(SWAP_FILE_PART, DISK_C, 12)}};
    }

    // A drive in the next slot: a path drive, or with bReleased a listed
    // disk with a volume the job unmounts (unless the volumes are shared).
    std::shared_ptr<CFakeDisk> Drive(const std::string& strPath, const T_STORAGE& storage, bool bReleased = false,
                                     uint64_t nSize = SIZE)
    {
        auto pDisk = CFakeDisk::WithPattern(nSize, static_cast<uint32_t>(m_nSlots + 1));
        pDisk->SetStorage(storage);
        m_devices.Add(strPath, pDisk);
        const size_t i = m_nSlots++;
        m_param.nDriveNumber[i] = static_cast<int>(i);
        m_param.nDriveKind[i] = bReleased ? DRIVE_KIND_DISK : DRIVE_KIND_PATH;
        m_param.strDrivePath[i] = strPath;
        const std::string strVolume = "fake:vol" + std::to_string(i);
        if (bReleased) m_inventory.AddDisk(static_cast<int>(i), strPath, {T_JOB_VOLUME{-1, "v", strVolume}});
        return pDisk;
    }

    std::shared_ptr<CFakeDisk> Image(const T_STORAGE& storage, std::vector<uint8_t> contents = {})
    {
        auto pImage = contents.empty() ? CFakeDisk::WithPattern(SIZE, 9) : std::make_shared<CFakeDisk>(contents);
        pImage->SetKind(EDeviceKind::RegularFile);
        pImage->SetStorage(storage);
        m_devices.Add(IMAGE, pImage);
        return pImage;
    }

    // The refusals of a job of this kind, their lines in order.
    std::string Lines(int nTask)
    {
        m_param.nTask = nTask;
        m_result = PreflightJob(m_param);
        std::string strLines;
        for (const T_PREFLIGHT_REFUSAL& refusal : m_result.arrRefusals) strLines += refusal.strText;
        EXPECT_EQ(m_result.Passed(), strLines.empty());
        return strLines;
    }

    std::vector<int> Slots() const
    {
        std::vector<int> arrSlots;
        for (const T_PREFLIGHT_REFUSAL& refusal : m_result.arrRefusals) arrSlots.push_back(refusal.nSlot);
        return arrSlots;
    }

    CFakeDeviceProvider m_devices;
    job_test::CScriptedInventory m_inventory;
    std::vector<T_SYSTEM_PLACE> m_places;
    T_DUMPTASK_PARAM m_param;
    T_PREFLIGHT_RESULT m_result;
    size_t m_nSlots = 0;
};

class PreflightTest : public ::testing::Test, public CPreflightBench {};

struct T_DRIVE_ROW {
    const char* pszPath;
    T_STORAGE storage;
    bool bReleased = false;
};

struct T_CASE {
    const char* pszWhat;
    int nTask;
    std::vector<T_DRIVE_ROW> arrDrives;
    T_STORAGE image;
    std::string strLines;
    bool bShareRead = false;
};

const T_CASE CASES[] = {
    {"a disk and its partition, written", DUMPTASK_ERASE, {{"fake:sdb", SDB}, {"fake:sdb1", SDB1}}, {},
     "can't write disk fake:sdb1: it shares its storage with fake:sdb, also a drive of this job.\n"},
    {"a disk and its partition, compared", DUMPTASK_VERIFY, {{"fake:sdb", SDB}, {"fake:sdb1", SDB1}}, ON_ROOT, ""},
    {"the image on a file system a verify leaves mounted", DUMPTASK_VERIFY, {{"fake:sdb", SDB}}, ON_SDB1, ""},
    {"the running system written", DUMPTASK_WRITE, {{"fake:sda2", SDA2}, {"fake:loop0", LoopOverSwapFile()}}, ON_ROOT,
     "refused: fake:sda2 holds the active swap /dev/sda2 of the running system; it is never written or erased.\n"
     "refused: fake:loop0 holds the active swap /swapfile of the running system; it is never written or erased.\n"},
    {"the whole system disk erased", DUMPTASK_ERASE, {{"fake:sda", SDA}}, {},
     "refused: fake:sda holds the root file system (/) of the running system; it is never written or erased.\n"},
    {"a partition of the system disk that holds none of it", DUMPTASK_WRITE, {{"fake:sda3", SDA3}}, ON_ROOT, ""},
    {"the running system unmounted by a read", DUMPTASK_READ, {{"fake:sda", SDA, true}}, ON_SDB1,
     "refused: fake:sda holds the root file system (/) of the running system, which the job would unmount; " +
         MOUNTED + ".\n"},
    {"the running system compared without unmounting", DUMPTASK_VERIFY, {{"fake:sda", SDA}}, ON_SDB1, ""},
    {"volumes left mounted: the image and the running system may stay on them", DUMPTASK_VERIFY,
     {{"fake:sdb", SDB, true}, {"fake:sda", SDA, true}}, ON_SDB1, "", true},
};

// (One drive under two names, the image as a drive or on one, and a new
// image on the drive read: tests/e2e, on files and loop devices.)
TEST(Preflight, RefusesWhatTheJobMustNotTouchWithOneLineEach)
{
    for (const T_CASE& c : CASES) {
        SCOPED_TRACE(c.pszWhat);
        CPreflightBench bench;
        bench.Image(c.image);
        for (const T_DRIVE_ROW& r : c.arrDrives) bench.Drive(r.pszPath, r.storage, r.bReleased);
        bench.m_param.bShareRead = c.bShareRead;
        EXPECT_EQ(bench.Lines(c.nTask), c.strLines);
    }
}

// Every drive is looked at, each problem gets its line naming the slot's
// drive, and the rules still run over the drives that did open.
TEST_F(PreflightTest, EveryDriveThatDoesNotOpenOrMeasureAsADiskIsNamedInOneRun)
{
    Image({});
    Drive("fake:t0", SDB);
    m_param.nDriveKind[1] = DRIVE_KIND_PATH;
    m_param.nDriveNumber[1] = 1;
    m_param.strDrivePath[1] = "fake:missing";
    m_nSlots = 2;
    const auto pOdd = Drive("fake:odd", SDB1);
    pOdd->SetKind(EDeviceKind::Directory);
    Drive("fake:t0-again", SDB);
    const std::string strLines = Lines(DUMPTASK_VERIFY);
    EXPECT_TRUE(strLines.starts_with("can't open disk fake:missing: ")) << strLines;
    EXPECT_TRUE(strLines.ends_with(".\ncan't open disk fake:odd: it is a folder, not a disk.\n"
                                   "fake:t0 and fake:t0-again are the same drive: give each drive once.\n"))
        << strLines;
    EXPECT_EQ(Slots(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(m_result.arrDriveSizes, (std::vector<uint64_t>{SIZE, 0, 0, SIZE}));

    pOdd->SetKind(EDeviceKind::BlockDevice);
    pOdd->FailLengthRequest(SystemError::IoError(), true);
    EXPECT_NE(Lines(DUMPTASK_VERIFY).find("can't open disk fake:odd: its size cannot be told: "), std::string::npos);
    m_devices.Add(IMAGE, CFakeDisk::WithPattern(SIZE));  // a block device, not an image file
    EXPECT_TRUE(Lines(DUMPTASK_VERIFY).starts_with("can't open file fake:img: it is a disk device, not an image "
                                                   "file.\ncan't open disk fake:missing: "));
    EXPECT_EQ(Slots().front(), -1);
    m_param.szImagePath = "fake:no-image";
    EXPECT_TRUE(Lines(DUMPTASK_WRITE).starts_with("can't open file fake:no-image: ")) << Lines(DUMPTASK_WRITE);
}

// A drive the job writes while its volumes stay mounted is opened once the
// way its engine opens it; the job's own released drives and a verify's
// drives are not.
TEST_F(PreflightTest, ADriveThatDoesNotOpenForWritingIsRefusedBeforeAnyoneIsAsked)
{
    class CBusyForExclusiveWrites : public IDeviceProvider {
    public:
        explicit CBusyForExclusiveWrites(IDeviceProvider& devices) : m_devices(devices) {}
        std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override
        {
            if (eMode != EOpenMode::WriteDrive) return m_devices.Open(strPath, eMode, nError);
            nError = SystemError::IoError();
            return nullptr;
        }
        bool RemoveFile(const std::string& strPath, uint32_t& nError) override
        {
            return m_devices.RemoveFile(strPath, nError);
        }
        IDeviceProvider& m_devices;
    } busy(m_devices);
    m_param.pDevices = &busy;
    Image({});
    Drive("fake:held", SDB);
    Drive("fake:released", SDA3, true);
    const std::string strWrite = Lines(DUMPTASK_WRITE);
    EXPECT_TRUE(strWrite.starts_with("can't write disk fake:held: ")) << strWrite;
    EXPECT_EQ(Slots(), (std::vector<int>{0}));
    EXPECT_TRUE(Lines(DUMPTASK_ERASE).starts_with("can't open disk fake:held for erasing: "));
    EXPECT_EQ(Lines(DUMPTASK_VERIFY), "");
    m_param.bSharedWrite = true;  // the engines open with sharing then
    EXPECT_EQ(Lines(DUMPTASK_WRITE), "");
}

TEST_F(PreflightTest, ARawImageOfAnotherSizeIsWrittenOnlyWhenForcedOrWhenAllItHoldsPastTheDrivesIsZero)
{
    std::vector<uint8_t> image = CFakeDisk::WithPattern(SIZE + 100, 9)->Contents();
    Image({}, image);
    Drive("fake:small", {});
    EXPECT_EQ(Lines(DUMPTASK_WRITE), "can't write disk fake:small: it holds 65536 bytes and the image 65636, with "
                                     "data that are not zero past the drive's end (--force-write writes the first "
                                     "65536).\n");
    EXPECT_EQ(Lines(DUMPTASK_VERIFY), "");  // a verify compares whatever the sizes
    Image({}, image)->FailReads(SIZE, SIZE + 100, SystemError::IoError());
    EXPECT_EQ(Lines(DUMPTASK_WRITE), "can't write disk fake:small: it holds 65536 bytes and the image 65636, whose "
                                     "data past the drive's end could not be read (--force-write writes the first "
                                     "65536).\n");
    Image({}, image);
    m_param.bForceWrite = true;
    EXPECT_EQ(Lines(DUMPTASK_WRITE), "");
    m_param.bForceWrite = false;
    m_param.bCompressImage = true;  // its length shows only when inflated: the engine judges
    m_param.szImagePath = "fake:img.gmz";
    std::vector<uint8_t> gzip = image;
    gzip[0] = 0x1F, gzip[1] = 0x8B;
    m_devices.Add(m_param.szImagePath, Image({}, gzip));
    EXPECT_EQ(Lines(DUMPTASK_WRITE), "");
    m_devices.Add(m_param.szImagePath, Image({}, image));  // the name's promise is checked, whatever the sizes
    EXPECT_EQ(Lines(DUMPTASK_WRITE),
              "fake:img.gmz is not a gzip file: its first bytes are not those of a gzip stream.\n");
    m_param.bCompressImage = false;
    m_param.szImagePath = IMAGE;

    std::fill(image.begin() + SIZE, image.end(), 0);
    Image({}, image);
    EXPECT_EQ(Lines(DUMPTASK_WRITE), "");
    Drive("fake:large", {}, false, SIZE + 200);  // drives of two sizes: the zeros excuse nothing
    m_param.wording.strForceWrite.clear();
    EXPECT_EQ(Lines(DUMPTASK_WRITE), "can't write disk fake:small: it holds 65536 bytes and the image 65636.\n"
                                     "can't write disk fake:large: it holds 65736 bytes and the image 65636.\n");
    EXPECT_EQ(Slots(), (std::vector<int>{0, 1}));
}

// A stop while the pre-flight reads a long zero tail: refused, nothing said.
TEST_F(PreflightTest, AStopEndsTheReadOfTheImagesTail)
{
    std::vector<uint8_t> image(SIZE * 4);
    Image({}, image);
    Drive("fake:small", {});
    const std::atomic<bool> bStop{true};
    m_param.nTask = DUMPTASK_WRITE;
    const T_PREFLIGHT_RESULT result = PreflightJob(m_param, &bStop);
    EXPECT_TRUE(result.bStopped);
    EXPECT_FALSE(result.Passed());
    EXPECT_TRUE(result.arrRefusals.empty());
}

TEST_F(PreflightTest, ACompressedImageWithoutItsLibraryIsRefusedBeforeAnythingIsOpened)
{
    const auto pImage = Image({});
    const auto pDrive = Drive("fake:t0", {});
    m_param.bCompressImage = true;
    ZlibBinding::SetLibraryNames({"gravelmoor-no-such-zlib"});
    const std::string strWrite = Lines(DUMPTASK_WRITE);
    const std::string strRead = Lines(DUMPTASK_READ);
    ZlibBinding::SetLibraryNames({});
    const std::string strNone = "a compressed image needs the zlib library, and none was found.\n";
    EXPECT_EQ(strWrite, "can't open file fake:img: " + strNone);
    EXPECT_EQ(strRead, "can't create file fake:img.\n" + strNone);
    m_param.bCompressImage = false;
    m_param.eImageFormat = EImageFormat::Bzip2;
    CodecLibraries::SetAbsent(ECodecLibrary::Bzip2, true);
    const std::string strVerify = Lines(DUMPTASK_VERIFY);
    CodecLibraries::SetAbsent(ECodecLibrary::Bzip2, false);
    EXPECT_EQ(strVerify, "can't read fake:img: the bzip2 library (libbz2) is needed to read .bz2 images and was not "
                         "found.\n");
    // A read into zstd without libzstd; into a format no read writes.
    m_param.eImageFormat = EImageFormat::Zstd;
    CodecLibraries::SetAbsent(ECodecLibrary::Zstd, true);
    const std::string strZstdRead = Lines(DUMPTASK_READ);
    CodecLibraries::SetAbsent(ECodecLibrary::Zstd, false);
    EXPECT_EQ(strZstdRead, "can't create file fake:img.\nthe zstd library (" +
                               CodecLibraryFileName(ECodecLibrary::Zstd) +
                               ") is needed to write .zst images and was not found.\n");
    for (const EImageFormat eFormat : {EImageFormat::Xz, EImageFormat::Bzip2, EImageFormat::Zip}) {
        m_param.eImageFormat = eFormat;
        EXPECT_EQ(Lines(DUMPTASK_READ), "can't make fake:img: this program writes images as raw (.gmi, .dd), gzip "
                                        "(.gmz, .gz) or zstd (.zst).\n");
    }
    EXPECT_EQ(pImage->OpenCount() + pDrive->OpenCount(), 0u);
}

// A read replaces only a regular file that is not the drive (and asks
// first: tests/e2e/test_read_file.sh, with the drive under another spelling
// too); anything else at the image's path ends the pre-flight there.
TEST_F(PreflightTest, AReadsImagePathMayHoldOnlyARegularFile)
{
    CTempDir dir;
    WriteWholeFile(dir.File("drive.bin"), {1, 2, 3});
    std::filesystem::create_directory(dir.Path() / "folder.gmi");
    m_param.nDriveKind[0] = DRIVE_KIND_PATH;
    m_param.nDriveNumber[0] = 0;
    m_param.strDrivePath[0] = dir.File("drive.bin");
    const std::string strFolder = m_param.szImagePath = dir.File("folder.gmi");
    EXPECT_EQ(Lines(DUMPTASK_READ),
              "can't create file " + strFolder + ".\nthe image " + strFolder + " exists and is not a regular file.\n");
    EXPECT_EQ(Slots(), (std::vector<int>{-1}));
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

// The runner's pass is the whole pre-flight: a drive that does not open is
// refused before any other drive's volume is locked or written.
TEST_F(JobTest, ADriveThatDoesNotOpenRefusesTheWholeWriteBeforeAnyVolumeIsLocked)
{
    auto pGood = AddDisk(0, 0, MIB, "E");
    AddDisk(1, 1, MIB)->FailOpen(SystemError::NotReady());
    WriteWholeFile(m_param.szImagePath, std::vector<uint8_t>(MIB, 0x5A));
    const std::vector<uint8_t> before = pGood->Contents();
    m_param.nTask = DUMPTASK_WRITE;
    EXPECT_EQ(RunDumpTask(&m_param), 0);
    EXPECT_EQ(m_volumes['E']->Volume().RequestCount(EFakeRequest::Lock), 0u);
    EXPECT_EQ(pGood->Contents(), before);
    EXPECT_NE(m_recorder.LogText().find("can't open disk DISK #1: "), std::string::npos) << m_recorder.LogText();
    EXPECT_EQ(Posted(WM_USER_ERROR), (std::vector<std::pair<WPARAM_T, LPARAM_T>>{{0, 0}, {0, 1}}));
}

}  // namespace
}  // namespace job_test
