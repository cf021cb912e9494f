// The engine matrix: every engine of a job meets the same faults of its
// drives and its image, made by the fake device, and the same stops at
// every place one of its threads waits. A row says what the matrix must
// know of an engine; a fault names the rows it applies to (and why not the
// others), sets the drives up, runs the engine and checks what it left:
// every drive's verdict, the lines, what the drives and the image hold, how
// often they were read, and every handle closed. Another engine joins with
// a row of its own.
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <tuple>

#include "engine/compare/compare_disk_image.h"
#include "engine/erase/erase_disk.h"
#include "engine/read/disk_to_image.h"
#include "engine/write/image_to_disk.h"
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

struct IEngineUnderTest {
    virtual ~IEngineUnderTest() = default;
    virtual T_ENGINE_RESULT Run(const T_ENGINE_JOB& job) = 0;
    virtual void Abort() = 0;
};
template <class TEngine>
struct CEngineUnderTest : IEngineUnderTest {
    T_ENGINE_RESULT Run(const T_ENGINE_JOB& job) override { return m_engine.Run(job); }
    void Abort() override { m_engine.Abort(); }
    TEngine m_engine;
};
template <class TEngine>
std::unique_ptr<IEngineUnderTest> Make()
{
    return std::make_unique<CEngineUnderTest<TEngine>>();
}

struct T_ROW {
    char cId;  // the letter the faults name it by
    const char* pName;
    std::unique_ptr<IEngineUnderTest> (*pfnMake)();
    // Gives the job the image and options the engine needs once the drives
    // hold their data (drive 0's is given); bCheck: it reads its drives back.
    void (*pfnPrepare)(EngineRig& rig, const std::vector<uint8_t>& drive, bool bCheck);
    // What a drive holds once the engine did its work in full.
    std::vector<uint8_t> (*pfnExpected)(EngineRig& rig, const std::vector<uint8_t>& old);
    bool bWrites;          // it writes its drives (else it reads them)
    int nMaxDrives;
    bool bNamedLines;      // the drive's I/O lines start with "<name> - "
    const char* pszDone;   // the end of a drive's line when done in full
    uint32_t nDriveCode;   // the progress code of a drive's bar, before its row is added
    bool bFailureStopsAll;  // the first drive that fails stops the others
    bool bPostsFailure;    // a failing or stopped drive is posted to the window with its row
    ESlotVerdict eCheckFault;  // a drive whose read-back fails or is stopped
    bool bImageIsWritten;  // the image is the engine's output
    uint32_t nImageCode;   // the progress code of the image's bar (erasing: the whole job's)
};

const T_ROW ROWS_OF_ENGINES[] = {
    {'R', "Read", Make<CDiskToImage>,
     [](EngineRig& rig, const std::vector<uint8_t>&, bool) { rig.AddImage({})->GrowOnWrite(); },
     [](EngineRig&, const std::vector<uint8_t>& old) { return old; }, false, 1, false, " bytes dumped.\n",
     PROGRESS_DRIVE, false, false, ESlotVerdict::ReadFailed, true, PROGRESS_IMAGE},
    {'W', "Write", Make<CImageToDisk>,
     [](EngineRig& rig, const std::vector<uint8_t>& drive, bool bCheck) {
         rig.RawImage(drive.size());
         rig.m_options.bMD5Verify = bCheck;
     },
     [](EngineRig& rig, const std::vector<uint8_t>&) { return rig.m_pImage->Contents(); }, true, 4, true,
     " bytes wrote.\n", PROGRESS_DRIVE, false, true, ESlotVerdict::Ok, false, PROGRESS_IMAGE},
    {'C', "Compare", Make<CCompareDiskImage>,
     [](EngineRig& rig, const std::vector<uint8_t>& drive, bool) { rig.AddImage(drive); },
     [](EngineRig&, const std::vector<uint8_t>& old) { return old; }, false, 4, true, " bytes checked.\n",
     PROGRESS_DRIVE_VERIFY, false, true, ESlotVerdict::ReadFailed, false, PROGRESS_IMAGE_VERIFY},
    {'E', "Erase", Make<CEraseDisk>,
     [](EngineRig& rig, const std::vector<uint8_t>&, bool bCheck) {
         rig.m_nMethod = bCheck ? ERASE_ZERO_VERIFY : ERASE_ZERO;
     },
     [](EngineRig&, const std::vector<uint8_t>& old) { return std::vector<uint8_t>(old.size(), 0x00); }, true, 4,
     true, " bytes wrote.\n", PROGRESS_DRIVE, true, false, ESlotVerdict::ReadFailed, false, PROGRESS_TOTAL},
};

class EngineMatrix;
struct T_FAULT {
    const char* pName;
    void (*pfnCheck)(EngineMatrix& t, const T_ROW& row);
    const char* pszRows;  // the letters of the rows it applies to
    const char* pszNotApplicable;  // why the other rows are left out
};

constexpr uint64_t SIZE = 4 * MIB;

class EngineMatrix : public EngineRig, public ::testing::WithParamInterface<std::tuple<T_ROW, T_FAULT>> {
public:
    // nDrives drives of nSize bytes, all holding the same old data, and
    // what the row needs beside them.
    void Drives(const T_ROW& row, int nDrives, uint64_t nSize, bool bCheck = false)
    {
        m_recorder.Clear();
        m_drives.clear();
        m_old = Pattern(static_cast<size_t>(nSize), 100);
        for (int i = 0; i < nDrives; ++i) AddDriveWith(i, m_old);
        row.pfnPrepare(*this, m_old, bCheck);
        if (!m_pImage) AddImage({});  // one the row's engine never opens
    }
    int Pair(const T_ROW& row) const { return std::min(2, row.nMaxDrives); }
    std::vector<uint8_t> Expected(const T_ROW& row) { return row.pfnExpected(*this, m_old); }
    T_ENGINE_RESULT Run(const T_ROW& row, int nDrives) { return row.pfnMake()->Run(Job(nDrives)); }
    // A line of drive i's reader or writer, as the row's engine logs it.
    std::string Line(const T_ROW& row, int i, const std::string& strLine)
    {
        return (row.bNamedLines ? Drive(i) + " - " : std::string()) + strLine;
    }
    std::string Done(const T_ROW& row, int i, uint64_t nBytes)
    {
        return Drive(i) + " - " + std::to_string(nBytes) + row.pszDone;
    }
    // Drives 0 and 1 of SIZE bytes; drive 0 waits in its first write until
    // strFailure is logged, so it cannot finish before drive 1 fails.
    T_ENGINE_RESULT RunWithFailingSecond(const T_ROW& row, bool bCheck, const std::string& strFailure,
                                         const std::function<void(CFakeDisk&)>& fnBreak)
    {
        Drives(row, 2, SIZE, bCheck);
        HoldUntilLogged(*m_drives[0], strFailure);
        fnBreak(*m_drives[1]);
        return Run(row, 2);
    }
    // The last drive failed with its own verdict and error; it holds what
    // the engine writes up to nGoodTo and its old data from nOldFrom. The
    // other, if any, was stopped with it or finished on its own.
    void ExpectLastFailed(const T_ROW& row, const T_ENGINE_RESULT& result, ESlotVerdict eVerdict, uint32_t dwError,
                          uint64_t nGoodTo, uint64_t nOldFrom)
    {
        EXPECT_FALSE(result.bOk);
        ASSERT_EQ(result.arrSlots.size(), static_cast<size_t>(Pair(row)));
        const int k = Pair(row) - 1;
        EXPECT_EQ(result.arrSlots[k].eVerdict, eVerdict);
        EXPECT_EQ(result.arrSlots[k].dwError, dwError);
        const auto expected = Expected(row);
        EXPECT_TRUE(SameRange(m_drives[k]->Contents(), expected, 0, nGoodTo));
        EXPECT_TRUE(SameRange(m_drives[k]->Contents(), m_old, nOldFrom, SIZE));
        EXPECT_FALSE(Logged(Done(row, k, SIZE)));
        if (k > 0) {
            EXPECT_EQ(result.arrSlots[0].eVerdict, row.bFailureStopsAll ? ESlotVerdict::Stopped : ESlotVerdict::Ok);
            EXPECT_EQ(m_drives[0]->Contents() == expected, !row.bFailureStopsAll);
            EXPECT_EQ(Count(Done(row, 0, SIZE)), row.bFailureStopsAll ? 0u : 1u);
        }
        EXPECT_EQ(FailedRows(), row.bPostsFailure ? std::vector<int64_t>{ROWS[k]} : std::vector<int64_t>{});
        ExpectAllClosed();
    }
    // Runs the engine on this thread and stops it from another once
    // bReady says so: the run must then end within a second, no drive done
    // unless its write stands.
    T_ENGINE_RESULT StopWhenReady(const T_ROW& row, int nDrives, const std::function<bool()>& bReady,
                                  bool bWriteStands = false)
    {
        auto pEngine = row.pfnMake();
        T_ENGINE_RESULT result;
        StopWhen(*pEngine, bReady, [&] {
            result = pEngine->Run(Job(nDrives));
            return result.bOk;
        });
        EXPECT_EQ(Logged(row.pszDone), bWriteStands);
        EXPECT_FALSE(Logged("retry out"));
        ExpectAllClosed();
        return result;
    }
    uint32_t DriveReads()
    {
        uint32_t n = 0;
        for (const auto& pDisk : m_drives) n += pDisk->TotalReads();
        return n;
    }

    std::vector<uint8_t> m_old;
};

// Up to four drives, one with a display name, of a size whose last block is
// short: each ends done in full with its lines, its flush, and its row's
// progress at the end, also when the run ends long before a first poll.
void EachDriveIsDoneInFull(EngineMatrix& t, const T_ROW& row)
{
    const uint64_t nSize = 3 * MIB + 512;
    const int nDrives = row.nMaxDrives;
    t.Drives(row, nDrives, nSize);
    T_ENGINE_JOB job = t.Job(nDrives);
    job.arrDrives[nDrives - 1].strName = "DISK #7";
    job.wiring.dwInterval = 60000;
    const auto result = row.pfnMake()->Run(job);
    ASSERT_TRUE(result.bOk);
    EXPECT_EQ(result.nTotal, nSize);
    for (int i = 0; i < nDrives; ++i) {
        EXPECT_EQ(result.arrSlots[i].eVerdict, ESlotVerdict::Ok) << i;
        EXPECT_EQ(result.arrSlots[i].nBytes, nSize) << i;
        EXPECT_EQ(t.m_drives[i]->Contents(), t.Expected(row)) << i;
        EXPECT_EQ(t.m_drives[i]->FlushCount() > 0, row.bWrites) << i;
        EXPECT_EQ(t.m_recorder.ProgressValues(row.nDriveCode + ROWS[i]).back(), 1000) << i;
        EXPECT_FALSE(t.m_recorder.ProgressTexts(PROGRESS_DRIVE_SPEED + ROWS[i]).empty()) << i;
        EXPECT_EQ(t.Count(t.Done(row, i, nSize)), i < nDrives - 1 ? 1u : 0u) << i;
    }
    for (int nRow = nDrives; nRow < 5; ++nRow)
        EXPECT_TRUE(t.m_recorder.ProgressValues(row.nDriveCode + ROWS[nRow]).empty()) << "row " << ROWS[nRow];
    EXPECT_EQ(t.Count("DISK #7\n"), 1u);
    EXPECT_EQ(t.Count("  disk size=3146240 bytes.\n"), static_cast<size_t>(nDrives));
    EXPECT_EQ(t.Count("DISK #7 - 3146240" + std::string(row.pszDone)), 1u);
    EXPECT_EQ(t.m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
    EXPECT_EQ(t.m_recorder.ProgressValues(row.nImageCode).back(), 1000);
    EXPECT_EQ(t.CountStyled(LOG_STYLE_WARNING) + t.CountStyled(LOG_STYLE_ERROR), 0u);
    if (row.bImageIsWritten) {
        EXPECT_EQ(t.m_pImage->Contents(), t.m_old);
        EXPECT_TRUE(result.arrSlots[0].bDigest);
        EXPECT_EQ(DigestText(result.arrSlots[0].digest), Md5Of(t.m_old));
    }
    EXPECT_TRUE(t.FailedRows().empty());
}

// The drives go slowly: whatever feeds them or takes their data waits for
// room or for blocks, they wait in their I/O.
void AStopDuringTheDrivesIO(EngineMatrix& t, const T_ROW& row)
{
    const int nDrives = t.Pair(row);
    t.Drives(row, nDrives, 16 * MIB);
    std::atomic<uint32_t> nWrites{0};
    for (const auto& pDrive : t.m_drives) {
        if (!row.bWrites) {
            pDrive->SetReadDelayMs(20);
            continue;
        }
        pDrive->SetWriteDelayMs(20);
        pDrive->SetWriteHook([&](uint64_t, uint32_t, std::vector<uint8_t>&) { ++nWrites; });
    }
    const auto result = t.StopWhenReady(row, nDrives, [&] { return nWrites + t.DriveReads() >= 3; });
    for (const T_SLOT_RESULT& slot : result.arrSlots) EXPECT_EQ(slot.eVerdict, ESlotVerdict::Stopped);
    EXPECT_TRUE(SameRange(t.m_drives[0]->Contents(), t.m_old, 15 * MIB, 16 * MIB));
    EXPECT_LT(t.m_drives[0]->TotalReads(), 16u);
    EXPECT_EQ(t.FailedRows().size(), row.bPostsFailure ? static_cast<size_t>(nDrives) : 0u);
}

// The image goes slowly, or is retried: the drives' side waits for blocks
// or for room. A read's image holds what was stored, flushed.
void AStopDuringTheImagesIO(EngineMatrix& t, const T_ROW& row)
{
    const int nDrives = t.Pair(row);
    t.Drives(row, nDrives, row.bImageIsWritten ? 64 * MIB : 16 * MIB);  // a read's drive is larger than its pool
    std::atomic<uint32_t> nImageWrites{0};
    std::function<bool()> bReady = [&] { return t.m_pImage->ReadsAt(MIB) >= 3; };
    if (row.bImageIsWritten) {
        t.m_pImage->SetWriteDelayMs(20);
        t.m_pImage->SetWriteHook([&](uint64_t, uint32_t, std::vector<uint8_t>&) { ++nImageWrites; });
        bReady = [&] { return nImageWrites >= 2 && t.m_drives[0]->TotalReads() >= 16; };
    } else {
        t.m_pImage->FailReads(MIB, MIB + 1, SystemError::IoError());
        t.m_pImage->SetReadDelayMs(30);
    }
    const auto result = t.StopWhenReady(row, nDrives, bReady);
    for (const T_SLOT_RESULT& slot : result.arrSlots) EXPECT_EQ(slot.eVerdict, ESlotVerdict::Stopped);
    EXPECT_LT(t.m_drives[0]->TotalReads(), 40u);
    EXPECT_LT(t.m_pImage->ReadsAt(MIB), 11u);
    if (row.bImageIsWritten) {
        EXPECT_GE(t.m_pImage->FlushCount(), 1u);
        EXPECT_EQ(t.m_pImage->Contents(), Head(t.m_old, result.arrSlots[0].nBytes));
    }
}

// Only the read-back reads the drive. What was written stays written.
void AStopDuringTheReadBack(EngineMatrix& t, const T_ROW& row)
{
    t.Drives(row, 1, 16 * MIB, true);
    t.m_drives[0]->SetReadDelayMs(20);
    const bool bWriteStands = row.eCheckFault == ESlotVerdict::Ok;
    const auto result =
        t.StopWhenReady(row, 1, [&] { return t.m_drives[0]->TotalReads() >= 3; }, bWriteStands);
    EXPECT_EQ(result.arrSlots[0].eVerdict, bWriteStands ? ESlotVerdict::Ok : ESlotVerdict::Stopped);
    EXPECT_FALSE(result.arrSlots[0].bDigest);
    EXPECT_FALSE(t.Logged(Drive(0) + " MD5SUM="));
    EXPECT_EQ(t.m_drives[0]->Contents(), t.Expected(row));
}

// The drive's reader retries a unit that never reads (for a writer, in its
// read-back): the stop ends the retries without a give-up line.
void AStopWhileAUnitIsRetried(EngineMatrix& t, const T_ROW& row)
{
    t.Drives(row, 1, 4 * MIB, true);
    t.m_drives[0]->FailReads(MIB, MIB + 1, SystemError::IoError());
    t.m_drives[0]->SetReadDelayMs(30);
    const bool bWriteStands = row.bWrites && row.eCheckFault == ESlotVerdict::Ok;
    const auto result = t.StopWhenReady(row, 1, [&] { return t.m_drives[0]->ReadsAt(MIB) >= 3; }, bWriteStands);
    EXPECT_LT(t.m_drives[0]->ReadsAt(MIB), 11u);
    EXPECT_EQ(result.arrSlots[0].eVerdict, bWriteStands ? ESlotVerdict::Ok : ESlotVerdict::Stopped);
    EXPECT_FALSE(result.arrSlots[0].bDigest);
}

// The last drive fails from 2 MiB on: eleven tries of its unit, one
// give-up line; the other drive goes on or stops as the engine's rule says.
void ADriveThatFailsMidway(EngineMatrix& t, const T_ROW& row)
{
    const std::string strIo = row.bWrites ? "write" : "read";
    const int k = t.Pair(row) - 1;
    const std::string strRetryOut = t.Line(row, k, "disk " + strIo + " retry out.\n");
    T_ENGINE_RESULT result;
    if (row.bWrites) {
        result = t.RunWithFailingSecond(row, false, strRetryOut, [](CFakeDisk& d) {
            d.FailWrites(2 * MIB + 5, 2 * MIB + 6, SystemError::IoError());
        });
    } else {
        t.Drives(row, k + 1, SIZE);
        t.m_drives[k]->FailReads(2 * MIB + 100, 2 * MIB + 200, SystemError::IoError());
        result = t.Run(row, k + 1);
        EXPECT_EQ(t.m_drives[k]->ReadsAt(2 * MIB), 11u);
        EXPECT_EQ(t.m_drives[k]->ReadsAt(3 * MIB), 0u);
    }
    EXPECT_EQ(t.Count(t.Line(row, k, "disk " + strIo + " error (00200000-002FFFFF).\n") + IoError()), 11u);
    EXPECT_EQ(t.Count(strRetryOut), 1u);
    const auto eVerdict = row.bWrites ? ESlotVerdict::WriteFailed : ESlotVerdict::ReadFailed;
    t.ExpectLastFailed(row, result, eVerdict, SystemError::IoError(), 2 * MIB, 3 * MIB);
}

// The second drive fails to store: its flush fails; its writes store half
// of what they are given, down to nothing (eleven failed tries); its file
// system fills up (no retry can make room). It keeps what it stored.
void ADriveThatFailsToStore(EngineMatrix& t, const T_ROW& row)
{
    struct T_CASE {
        void (*pfnBreak)(CFakeDisk& d);
        std::string strLine;
        size_t nTimes;
        uint32_t dwError;
        uint64_t nGoodTo, nOldFrom;
    };
    const T_CASE cases[] = {
        {[](CFakeDisk& d) { d.FailFlush(SystemError::IoError()); }, Drive(1) + " - disk flush error.\n" + IoError(), 1,
         SystemError::IoError(), SIZE, SIZE},
        {[](CFakeDisk& d) { d.ShortWrites(MIB, 2 * MIB); }, Drive(1) + " - write count mismatch 00000001:00000000.\n",
         11, 0, MIB, 2 * MIB},
        {[](CFakeDisk& d) { d.FullAt(2 * MIB + 100, SystemError::DiskFull()); },
         Drive(1) + " - no room left to write (00200064-002FFFFF).\n" + GetSystemErrorText(SystemError::DiskFull()) +
             "\n",
         1, SystemError::DiskFull(), 2 * MIB + 100, 2 * MIB + 100},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.strLine);
        const bool bRetried = c.nTimes == 11;
        const auto result = t.RunWithFailingSecond(row, false, bRetried ? "retry out" : c.strLine, c.pfnBreak);
        EXPECT_EQ(t.Count(c.strLine), c.nTimes);
        EXPECT_EQ(t.Count(Drive(1) + " - disk write retry out.\n"), bRetried ? 1u : 0u);
        EXPECT_FALSE(t.Logged("disk write error"));
        t.ExpectLastFailed(row, result, ESlotVerdict::WriteFailed, c.dwError, c.nGoodTo, c.nOldFrom);
    }
}

void AWriteThatStoresPartOfABlockGoesOn(EngineMatrix& t, const T_ROW& row)
{
    t.Drives(row, 1, SIZE);
    t.m_drives[0]->ShortWrites(MIB, MIB + 1);  // only the first write of that block touches it
    EXPECT_TRUE(t.Run(row, 1).bOk);
    EXPECT_EQ(t.m_drives[0]->Contents(), t.Expected(row));
    EXPECT_FALSE(t.Logged("write count mismatch"));
}

void AUnitThatCannotBeReadBack(EngineMatrix& t, const T_ROW& row)
{
    const auto result = t.RunWithFailingSecond(row, true, Drive(1) + " - disk read retry out.", [](CFakeDisk& d) {
        d.FailReads(MIB + 10, MIB + 11, SystemError::IoError());
    });
    EXPECT_EQ(t.Count(Drive(1) + " - disk read error (00100000-001FFFFF).\n" + IoError()), 11u);
    EXPECT_EQ(t.Count(Drive(1) + " - disk read retry out.\n"), 1u);
    EXPECT_FALSE(result.bOk && result.DigestMatches(1));
    EXPECT_EQ(result.arrSlots[1].eVerdict, row.eCheckFault);
    EXPECT_EQ(result.arrSlots[1].dwError, SystemError::IoError());
    EXPECT_FALSE(result.arrSlots[1].bDigest);
    EXPECT_EQ(t.m_drives[1]->Contents(), t.Expected(row));  // the write itself was done
    EXPECT_TRUE(t.FailedRows().empty());
}

// The read-back asks for whole units and gets fewer bytes than it asked
// for: the drive cannot be called good, and nothing waits for the rest.
void AReadBackThatComesShort(EngineMatrix& t, const T_ROW& row)
{
    t.Drives(row, 1, SIZE, true);
    t.m_drives[0]->EndEarlyAt(2 * MIB + 4096);
    auto pEngine = row.pfnMake();
    auto run = Async([&] { return pEngine->Run(t.Job(1)); });
    T_ABORT_ON_EXIT<IEngineUnderTest> stop{*pEngine};
    ASSERT_TRUE(Finishes(run)) << "the run waits for bytes that never come";
    const auto result = run.get();
    EXPECT_FALSE(result.bOk && result.DigestMatches(0));
    EXPECT_FALSE(result.arrSlots[0].bDigest);
    EXPECT_EQ(result.arrSlots[0].Ok(), row.eCheckFault == ESlotVerdict::Ok);
    EXPECT_EQ(t.m_drives[0]->Contents(), t.Expected(row));
}

// A unit that reads at its eleventh try is kept (a writer's read-back too).
void AUnitThatReadsAtTheEleventhTry(EngineMatrix& t, const T_ROW& row)
{
    t.Drives(row, 1, 2 * MIB, true);
    t.m_drives[0]->FailReads(MIB, MIB + 1, SystemError::IoError(), 10);
    const auto result = t.Run(row, 1);
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Ok);
    EXPECT_EQ(t.m_drives[0]->ReadsAt(MIB), 11u);
    EXPECT_FALSE(t.Logged("retry out"));
    EXPECT_EQ(t.Count(t.Done(row, 0, 2 * MIB)), 1u);
    EXPECT_EQ(t.m_drives[0]->Contents(), t.Expected(row));
    EXPECT_TRUE(row.eCheckFault != ESlotVerdict::Ok || result.DigestMatches(0));
}

// In the unstable-media mode a 4096-byte block counts when four reads in a
// row agree, within ten counted reads; a failed read starts the agreement
// over.
void UnstableMediaAgreeOrAreGivenUp(EngineMatrix& t, const T_ROW& row)
{
    struct T_CASE {
        void (*pfnBreak)(CFakeDisk& d);
        bool bOk;
        uint32_t nReads, nUnstable, nErrors;
    };
    const T_CASE cases[] = {
        // Read 1 is the reference, read 2 disagrees; read 3 is the next
        // reference, read 4 (the first settled one) disagrees; 5..8 agree.
        {[](CFakeDisk& d) { d.UnstableReads(8192, 8192 + 16, 3); }, true, 8, 2, 0},
        // Every read disagrees with its reference: 14 counted reads.
        {[](CFakeDisk& d) { d.UnstableReads(8192, 8193); }, false, 15, 7, 0},
        // Four reads agree at the 14th, after more than ten counted reads.
        {[](CFakeDisk& d) { d.UnstableReads(8192, 8193, 9); }, false, 14, 5, 0},
        {[](CFakeDisk& d) { d.FailReads(8192, 8193, SystemError::IoError(), 2); }, true, 6, 0, 2},
    };
    t.m_options.bUnstableRead = true;
    t.m_options.nUnstableReadCount = UNSTABLE_READ_AGREEMENT;
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.nReads);
        t.Drives(row, 1, 16 * 1024);
        c.pfnBreak(*t.m_drives[0]);
        const auto result = t.Run(row, 1);
        EXPECT_EQ(result.bOk, c.bOk);
        EXPECT_EQ(t.m_drives[0]->ReadsAt(8192), c.nReads);
        EXPECT_EQ(t.m_drives[0]->ReadsAt(0), 4u);  // a stable block is read four times
        EXPECT_EQ(t.Count(t.Line(row, 0, "disk read unstable (00002000-00002FFF).\n")), c.nUnstable);
        EXPECT_EQ(t.Count(t.Line(row, 0, "disk read error (00002000-00002FFF).\n") + IoError()), c.nErrors);
        EXPECT_EQ(t.Count(t.Line(row, 0, "disk read retry out.\n")), c.bOk ? 0u : 1u);
        EXPECT_EQ(t.Count(t.Done(row, 0, 16 * 1024)), c.bOk ? 1u : 0u);
    }
}

// A drive that cannot be used is never touched, with its line: a writer
// leaves it out and succeeds on the others, a reader fails. One whose
// length request fails is measured by its geometry.
void AnUnusableDriveIsNeverTouched(EngineMatrix& t, const T_ROW& row)
{
    struct T_CASE {
        void (*pfnBreak)(CFakeDisk& d);
        std::string strLine;
    };
    const T_CASE cases[] = {
        {[](CFakeDisk& d) { d.FailOpen(SystemError::NotReady()); },
         "can't open disk fake:drive0.\n" + GetSystemErrorText(SystemError::NotReady()) + "\n"},
        {[](CFakeDisk& d) { d.SetKind(EDeviceKind::CharacterDevice); },
         "can't open disk fake:drive0.\nit is a character device, not a disk.\n"},
        {[](CFakeDisk& d) { d.SetKind(EDeviceKind::Directory); },
         "can't open disk fake:drive0.\nit is a folder, not a disk.\n"},
        {[](CFakeDisk& d) { d.FailLengthRequest(SystemError::NotSupported(), true); },
         "GetDiskSize() failed.\n" + GetSystemErrorText(SystemError::NotSupported()) + "\n"},
    };
    const int nDrives = t.Pair(row);
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.strLine);
        t.Drives(row, nDrives, MIB);
        c.pfnBreak(*t.m_drives[0]);
        const auto result = t.Run(row, nDrives);
        EXPECT_EQ(result.bOk, row.bWrites);
        EXPECT_EQ(t.Count(c.strLine), 1u);
        EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::NotOpened);
        EXPECT_EQ(result.arrSlots.back().eVerdict, nDrives > 1 ? ESlotVerdict::Ok : ESlotVerdict::NotOpened);
        EXPECT_EQ(t.m_drives[0]->TotalReads(), 0u);
        EXPECT_EQ(t.m_drives[0]->Contents(), t.m_old);
        EXPECT_EQ(t.m_drives.back()->Contents(), nDrives > 1 ? t.Expected(row) : t.m_old);
        EXPECT_TRUE(t.FailedRows().empty());
        t.ExpectAllClosed();
    }
    t.Drives(row, 1, 2 * MIB);
    t.m_drives[0]->FailLengthRequest(SystemError::NotSupported(), false);
    EXPECT_TRUE(t.Run(row, 1).bOk);
    EXPECT_EQ(t.Count(t.Done(row, 0, 2 * MIB)), 1u);
}

// Nothing is opened or logged for a job of no drive or of too many.
void AJobOfNoDriveOrOfTooManyIsRefused(EngineMatrix& t, const T_ROW& row)
{
    t.Drives(row, 1, MIB);
    for (int i = 1; i <= row.nMaxDrives; ++i) t.m_devices.Add(Drive(i), t.m_drives[0]);
    for (int nDrives : {0, row.nMaxDrives + 1}) {
        const auto result = t.Run(row, nDrives);
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(result.arrSlots.size(), static_cast<size_t>(nDrives));
    }
    EXPECT_TRUE(t.m_recorder.Messages().empty());
    EXPECT_EQ(t.m_drives[0]->OpenCount(), 0u);
    EXPECT_EQ(t.m_pImage->OpenCount(), 0u);
}

// One drive given twice is refused: by one path before anything is
// opened, by two paths to one storage before any write.
void ATargetGivenTwiceIsRefused(EngineMatrix& t, const T_ROW& row)
{
    for (int nSecond : {0, 1}) {
        SCOPED_TRACE(nSecond);
        t.Drives(row, 1, MIB);
        t.m_devices.Add(Drive(1), t.m_drives[0]);  // the same drive by another name
        T_ENGINE_JOB job = t.Job(2);
        job.arrDrives[1].strPath = Drive(nSecond);
        const auto result = row.pfnMake()->Run(job);
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(t.Count("can't write disk " + Drive(nSecond) +
                          ".\nit shares its storage with fake:drive0, also a target of this job.\n"),
                  1u);
        for (const T_SLOT_RESULT& slot : result.arrSlots) EXPECT_EQ(slot.eVerdict, ESlotVerdict::NotRun);
        EXPECT_TRUE(nSecond != 0 || t.m_drives[0]->OpenCount() + t.m_pImage->OpenCount() == 0);
        EXPECT_EQ(t.m_drives[0]->Contents(), t.m_old);
        EXPECT_EQ(t.m_drives[0]->FlushCount(), 0u);
        t.ExpectAllClosed();
    }
}

// A stop before the run, or a pool that can be only partly built, fails
// the run before the image is opened (and so before anyone is asked about
// it) or a drive is touched.
void ARunThatCannotStartTouchesNothing(EngineMatrix& t, const T_ROW& row)
{
    static std::atomic<int> s_nRegionsLeft;
    for (const bool bStop : {true, false}) {
        SCOPED_TRACE(bStop ? "stopped before" : "no memory");
        t.Drives(row, 1, SIZE);
        auto pEngine = row.pfnMake();
        if (bStop) pEngine->Abort();
        s_nRegionsLeft = bStop ? 1000 : 5;
        SetRegionAllocator([](size_t n) { return s_nRegionsLeft.fetch_sub(1) > 0 ? DefaultAllocRegion(n) : nullptr; });
        const auto result = pEngine->Run(t.Job(1));
        SetRegionAllocator(nullptr);
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::NotRun);
        EXPECT_EQ(t.Count("out of memory.\n" + GetSystemErrorText(SystemError::NoMemory()) + "\n"), bStop ? 0u : 1u);
        EXPECT_EQ(t.m_drives[0]->Contents(), t.m_old);
        EXPECT_EQ(t.m_drives[0]->TotalReads() + t.m_drives[0]->FlushCount(), 0u);
        EXPECT_TRUE(bStop || t.m_pImage->OpenCount() == 0);
        EXPECT_EQ(t.m_pImage->TotalReads(), 0u);
        EXPECT_TRUE(!row.bImageIsWritten || t.m_pImage->Contents().empty());
        EXPECT_TRUE(t.FailedRows().empty());
    }
}

// An image that does not open, or is a disk device and not a regular file.
void AnImageThatCannotBeOpenedTouchesNoDrive(EngineMatrix& t, const T_ROW& row)
{
    for (const bool bDevice : {false, true}) {
        t.Drives(row, 1, MIB);
        if (bDevice) t.m_pImage->SetKind(EDeviceKind::BlockDevice);
        else t.m_pImage->FailOpen(SystemError::NotReady());
        const auto result = t.Run(row, 1);
        EXPECT_FALSE(result.bOk);
        EXPECT_NE(result.arrSlots[0].eVerdict, ESlotVerdict::Ok);
        EXPECT_EQ(t.Count((row.bImageIsWritten ? "can't create file " : "can't open file ") + IMAGE + ".\n" +
                          (bDevice ? "it is a disk device, not a regular file.\n"
                                   : GetSystemErrorText(SystemError::NotReady()) + "\n")),
                  1u) << bDevice;
        EXPECT_EQ(t.m_drives[0]->TotalReads() + t.m_drives[0]->FlushCount() + t.m_pImage->TotalReads(), 0u);
        EXPECT_EQ(t.m_drives[0]->Contents(), t.m_old);
    }
}

// The image fails from 2 MiB on: eleven tries, one give-up line, and the
// whole run ends; no drive is done, nor read on for nobody.
void AnImageThatFailsMidwayEndsTheRun(EngineMatrix& t, const T_ROW& row)
{
    const int nDrives = t.Pair(row);
    t.Drives(row, nDrives, 32 * MIB);
    const std::string strIo = row.bImageIsWritten ? "write" : "read";
    if (row.bImageIsWritten) t.m_pImage->FailWrites(2 * MIB, 2 * MIB + 1, SystemError::IoError());
    else t.m_pImage->FailReads(2 * MIB + 10, 2 * MIB + 11, SystemError::IoError());
    const auto result = t.Run(row, nDrives);
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.dwError, SystemError::IoError());
    EXPECT_EQ(t.Count("file " + strIo + " error (00200000-002FFFFF).\n" + IoError()), 11u);
    EXPECT_EQ(t.Count("file " + strIo + " retry out.\n"), 1u);
    EXPECT_FALSE(t.Logged(row.pszDone));
    for (const T_SLOT_RESULT& slot : result.arrSlots) EXPECT_NE(slot.eVerdict, ESlotVerdict::Ok);
    EXPECT_LT(t.DriveReads(), 28u * static_cast<uint32_t>(nDrives));
    EXPECT_EQ(row.bImageIsWritten ? t.m_pImage->Contents() == Head(t.m_old, 2 * MIB) : t.m_pImage->ReadsAt(2 * MIB) == 11,
              true);
}

// A drive of no bytes is done at once, with its line and its checks.
void ADriveOfNoBytesIsDoneAtOnce(EngineMatrix& t, const T_ROW& row)
{
    t.Drives(row, 1, 0, true);
    const auto result = t.Run(row, 1);
    ASSERT_TRUE(result.bOk);
    EXPECT_EQ(t.Count(t.Done(row, 0, 0)), 1u);
    EXPECT_TRUE(row.eCheckFault != ESlotVerdict::Ok || result.DigestMatches(0));
    EXPECT_EQ(t.m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
}

// The whole-job bar only moves forward: a read or a write that a compare
// follows fills its first half, a compare that is a job's verify pass (or
// a write's MD5 read-back) the second.
void TheWholeBarCoversEveryPassOfTheJob(EngineMatrix& t, const T_ROW& row)
{
    for (const bool bCheck : {false, row.cId == 'W'}) {
        t.Drives(row, 1, 8 * MIB, bCheck);
        t.m_drives[0]->SetReadDelayMs(20);
        t.m_pImage->SetReadDelayMs(20);
        t.m_options.bVerify = row.cId != 'C';
        T_ENGINE_JOB job = t.Job(1);
        job.bVerifyPass = row.cId == 'C';
        ASSERT_TRUE(row.pfnMake()->Run(job).bOk);
        const int64_t nEnd = row.cId == 'C' || bCheck ? 1000 : 500;
        const auto total = t.m_recorder.ProgressValues(PROGRESS_TOTAL);
        EXPECT_TRUE(std::is_sorted(total.begin(), total.end())) << bCheck;
        EXPECT_GE(total.front(), job.bVerifyPass ? 500 : 0) << bCheck;
        EXPECT_TRUE(std::any_of(total.begin(), total.end(), [&](int64_t v) { return v > nEnd - 500 && v < nEnd; }));
        EXPECT_EQ(total.back(), nEnd) << bCheck;
    }
}

// Once every drive has failed, the image is not read on for nobody.
void WhenEveryDriveHasFailedTheImageIsLeft(EngineMatrix& t, const T_ROW& row)
{
    const int nDrives = t.Pair(row);
    t.Drives(row, nDrives, 24 * MIB);
    for (const auto& pDrive : t.m_drives) {
        if (row.bWrites) pDrive->FailWrites(2 * MIB, 2 * MIB + 1, SystemError::IoError());
        else pDrive->FailReads(2 * MIB, 2 * MIB + 1, SystemError::IoError());
    }
    const auto result = t.Run(row, nDrives);
    EXPECT_FALSE(result.bOk);
    EXPECT_LT(t.m_pImage->TotalReads(), 20u);
    EXPECT_EQ(t.FailedRows().size(), static_cast<size_t>(nDrives));
}

// Four drives on the smallest pool against a slow image, each with every
// check that takes a block of its own: no side waits for a block that
// never comes.
void FourDrivesOnTheSmallestPoolNeverStarve(EngineMatrix& t, const T_ROW& row)
{
    t.Drives(row, 4, 8 * MIB, true);
    t.m_options.bCompareAfterWrite = true;
    t.m_pImage->SetReadDelayMs(10);
    auto pEngine = row.pfnMake();
    auto run = Async([&] { return pEngine->Run(t.Job(4)); });
    T_ABORT_ON_EXIT<IEngineUnderTest> stop{*pEngine};
    ASSERT_TRUE(Finishes(run)) << "the run waited for blocks that never came";
    const auto result = run.get();
    EXPECT_TRUE(result.bOk);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(t.m_drives[i]->Contents(), t.Expected(row)) << i;
        EXPECT_TRUE(row.eCheckFault != ESlotVerdict::Ok || result.DigestMatches(i)) << i;
    }
}

// With compare-after-write a unit is skipped only when every byte of it is
// on the drive already: one that differs in its first or its last byte
// alone is written. Writes to the equal unit would fail.
void CompareAfterWriteSkipsOnlyEqualUnits(EngineMatrix& t, const T_ROW& row)
{
    const uint64_t nSize = 4 * MIB + 1000;
    t.Drives(row, 0, nSize);
    t.m_options.bCompareAfterWrite = true;
    const auto expected = t.Expected(row);
    auto contents = expected;
    for (uint64_t nAt : {2 * MIB - 1, 2 * MIB, 3 * MIB + MIB / 2, nSize - 1}) contents[nAt] ^= 0x01;
    t.AddDriveWith(0, contents)->FailWrites(0, MIB, SystemError::IoError());
    EXPECT_TRUE(t.Run(row, 1).bOk);
    EXPECT_EQ(t.Count(Drive(0) + " - 3146728 bytes wrote (skip=1048576).\n"), 1u);
    EXPECT_EQ(t.m_drives[0]->Contents(), expected);
}

const char* const WRITERS_ONLY = "only a writer writes, flushes and reads back its drives";
const char* const NO_IMAGE = "erasing takes no image";
const T_FAULT FAULTS[] = {
    {"EachDriveIsDoneInFull", EachDriveIsDoneInFull, "RWCE", ""},
    {"ARunThatCannotStartTouchesNothing", ARunThatCannotStartTouchesNothing, "RWCE", ""},
    {"AStopDuringTheDrivesIO", AStopDuringTheDrivesIO, "RWCE", ""},
    {"AStopDuringTheImagesIO", AStopDuringTheImagesIO, "RWC", NO_IMAGE},
    {"AStopDuringTheReadBack", AStopDuringTheReadBack, "WE", "a reader's drive I/O is its read: see the above"},
    {"AStopWhileAUnitIsRetried", AStopWhileAUnitIsRetried, "RWCE", ""},
    {"ADriveThatFailsMidway", ADriveThatFailsMidway, "RWCE", ""},
    {"ADriveThatFailsToStore", ADriveThatFailsToStore, "WE", WRITERS_ONLY},
    {"AWriteThatStoresPartOfABlockGoesOn", AWriteThatStoresPartOfABlockGoesOn, "WE", WRITERS_ONLY},
    {"AUnitThatCannotBeReadBack", AUnitThatCannotBeReadBack, "WE", WRITERS_ONLY},
    {"AReadBackThatComesShort", AReadBackThatComesShort, "WE", WRITERS_ONLY},
    {"AUnitThatReadsAtTheEleventhTry", AUnitThatReadsAtTheEleventhTry, "RWCE", ""},
    {"UnstableMediaAgreeOrAreGivenUp", UnstableMediaAgreeOrAreGivenUp, "RC", "only reading a drive knows that mode"},
    {"AnUnusableDriveIsNeverTouched", AnUnusableDriveIsNeverTouched, "RWCE", ""},
    {"AJobOfNoDriveOrOfTooManyIsRefused", AJobOfNoDriveOrOfTooManyIsRefused, "RWCE", ""},
    {"ATargetGivenTwiceIsRefused", ATargetGivenTwiceIsRefused, "WE", "reading a drive twice harms nothing"},
    {"AnImageThatCannotBeOpenedTouchesNoDrive", AnImageThatCannotBeOpenedTouchesNoDrive, "RWC", NO_IMAGE},
    {"AnImageThatFailsMidwayEndsTheRun", AnImageThatFailsMidwayEndsTheRun, "RWC", NO_IMAGE},
    {"CompareAfterWriteSkipsOnlyEqualUnits", CompareAfterWriteSkipsOnlyEqualUnits, "WE", WRITERS_ONLY},
    {"ADriveOfNoBytesIsDoneAtOnce", ADriveOfNoBytesIsDoneAtOnce, "RWCE", ""},
    {"WhenEveryDriveHasFailedTheImageIsLeft", WhenEveryDriveHasFailedTheImageIsLeft, "WC",
     "erasing takes no image; a read's image stops with its one drive"},
    {"TheWholeBarCoversEveryPassOfTheJob", TheWholeBarCoversEveryPassOfTheJob, "RWC",
     "an erase's read-back counts nothing: see its own tests"},
    {"FourDrivesOnTheSmallestPoolNeverStarve", FourDrivesOnTheSmallestPoolNeverStarve, "WCE", "a read takes one drive"},
};

// The cells of the faults that apply to a row.
std::vector<std::tuple<T_ROW, T_FAULT>> Cells()
{
    std::vector<std::tuple<T_ROW, T_FAULT>> cells;
    for (const T_ROW& row : ROWS_OF_ENGINES) {
        for (const T_FAULT& fault : FAULTS) {
            if (std::strchr(fault.pszRows, row.cId)) cells.emplace_back(row, fault);
        }
    }
    return cells;
}

TEST_P(EngineMatrix, Holds)
{
    const auto& [row, fault] = GetParam();
    fault.pfnCheck(*this, row);
    ExpectAllClosed();  // every handle the run opened was closed, in every cell
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineMatrix, ::testing::ValuesIn(Cells()),
                         [](const auto& cell) {
                             return std::string(std::get<0>(cell.param).pName) + "_" + std::get<1>(cell.param).pName;
                         });

}  // namespace
}  // namespace engine_test
