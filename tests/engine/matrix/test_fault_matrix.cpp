// The fault matrix: every engine that writes drives meets the same faults
// of its drives, made by the fake device, and the same stops at every
// place one of its threads waits. A row says what the matrix must know of
// an engine; a fault sets the drives up, runs the engine and checks what
// it left: the verdict of every drive, its lines, what the drives hold,
// and every handle closed. Another engine joins with a row of its own.
#include <atomic>
#include <memory>
#include <tuple>

#include "engine/erase/erase_disk.h"
#include "engine/write/image_to_disk.h"
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

class IEngineUnderTest {
public:
    virtual ~IEngineUnderTest() = default;
    virtual T_ENGINE_RESULT Run(const T_ENGINE_JOB& job) = 0;
    virtual void Abort() = 0;
};

template <class TEngine>
class CEngineUnderTest : public IEngineUnderTest {
public:
    T_ENGINE_RESULT Run(const T_ENGINE_JOB& job) override { return m_engine.Run(job); }
    void Abort() override { m_engine.Abort(); }

private:
    TEngine m_engine;
};

template <class TEngine>
std::unique_ptr<IEngineUnderTest> Make()
{
    return std::make_unique<CEngineUnderTest<TEngine>>();
}

struct T_ENGINE_ROW {
    const char* pName;
    std::unique_ptr<IEngineUnderTest> (*pfnMake)();
    // Gives the job what the engine needs for drives of nSize bytes; with
    // bReadBack the engine reads its drives back after writing them.
    void (*pfnPrepare)(EngineRig& rig, uint64_t nSize, bool bReadBack);
    // What a drive holds once the engine did its work in full.
    std::vector<uint8_t> (*pfnExpected)(EngineRig& rig, uint64_t nSize);
    bool bFailureStopsAll;        // the first drive that fails stops the others
    bool bPostsFailure;           // a failing drive is posted to the window at once, with its row
    ESlotVerdict eReadBackFault;  // a drive whose read-back fails or is stopped
    bool bReadsImage;             // it reads an image, which can be slowed
};

const T_ENGINE_ROW ROWS_OF_ENGINES[] = {
    {"Write", Make<CImageToDisk>,
     [](EngineRig& rig, uint64_t nSize, bool bReadBack) {
         rig.RawImage(nSize);
         rig.m_options.bMD5Verify = bReadBack;
     },
     [](EngineRig& rig, uint64_t) { return rig.m_pImage->Contents(); }, false, true, ESlotVerdict::Ok, true},
    {"Erase", Make<CEraseDisk>,
     [](EngineRig& rig, uint64_t, bool bReadBack) { rig.m_nMethod = bReadBack ? ERASE_ZERO_VERIFY : ERASE_ZERO; },
     [](EngineRig&, uint64_t nSize) { return std::vector<uint8_t>(nSize, 0x00); }, true, false,
     ESlotVerdict::ReadFailed, false},
};

constexpr uint64_t SIZE = 4 * MIB;

class FaultMatrix;
struct T_FAULT {
    const char* pName;
    void (*pfnCheck)(FaultMatrix& t, const T_ENGINE_ROW& row);
};

void PrintTo(const T_ENGINE_ROW& row, std::ostream* pOut)
{
    *pOut << row.pName;
}
void PrintTo(const T_FAULT& fault, std::ostream* pOut)
{
    *pOut << fault.pName;
}

class FaultMatrix : public EngineRig, public ::testing::WithParamInterface<std::tuple<T_ENGINE_ROW, T_FAULT>> {
public:
    // Drives 0 and 1 of SIZE bytes; drive 0 waits in its first write until
    // strFailure is logged, so it cannot finish before drive 1 fails.
    T_ENGINE_RESULT RunWithFailingSecond(const T_ENGINE_ROW& row, bool bReadBack, const std::string& strFailure,
                                         void (*pfnBreak)(CFakeDisk&))
    {
        row.pfnPrepare(*this, SIZE, bReadBack);
        HoldUntilLogged(*AddDrive(0, SIZE), strFailure);
        pfnBreak(*AddDrive(1, SIZE));
        m_old = m_drives[1]->Contents();
        return row.pfnMake()->Run(Job(2));
    }
    // Drive 1 failed with its own verdict and error; it holds what the
    // engine writes up to nGoodTo and its old data from nOldFrom. Drive 0
    // was stopped with it or finished on its own.
    void ExpectSecondFailed(const T_ENGINE_ROW& row, const T_ENGINE_RESULT& result, uint32_t dwError,
                            uint64_t nGoodTo, uint64_t nOldFrom)
    {
        EXPECT_FALSE(result.bOk);
        ASSERT_EQ(result.arrSlots.size(), 2u);
        EXPECT_EQ(result.arrSlots[1].eVerdict, ESlotVerdict::WriteFailed);
        EXPECT_EQ(result.arrSlots[1].dwError, dwError);
        const auto expected = row.pfnExpected(*this, SIZE);
        EXPECT_TRUE(SameRange(m_drives[1]->Contents(), expected, 0, nGoodTo));
        EXPECT_TRUE(SameRange(m_drives[1]->Contents(), m_old, nOldFrom, SIZE));
        EXPECT_FALSE(Logged(Drive(1) + " - " + std::to_string(SIZE) + " bytes wrote"));
        if (row.bFailureStopsAll) {
            EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Stopped);
            EXPECT_NE(m_drives[0]->Contents(), expected);
        } else {
            EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Ok);
            EXPECT_EQ(m_drives[0]->Contents(), expected);
        }
        EXPECT_EQ(FailedRows(), row.bPostsFailure ? std::vector<int64_t>{ROWS[1]} : std::vector<int64_t>{});
        ExpectAllClosed();
    }
    // Runs the engine on this thread and stops it from another once
    // bReady says so: the run must then end within a second.
    T_ENGINE_RESULT StopWhenReady(const T_ENGINE_ROW& row, int nDrives, const std::function<bool()>& bReady)
    {
        auto pEngine = row.pfnMake();
        T_ENGINE_RESULT result;
        StopWhen(*pEngine, bReady, [&] {
            result = pEngine->Run(Job(nDrives));
            return result.bOk;
        });
        ExpectAllClosed();
        return result;
    }

    std::vector<uint8_t> m_old;
};

// Four drives, one with a display name, of a size whose last block is
// short: each ends done in full, with its line, its flush, and its row's
// progress at the end.
void FourDrivesEachDoneInFull(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    const uint64_t nSize = 3 * MIB + 512;
    row.pfnPrepare(t, nSize, false);
    for (int i = 0; i < 4; ++i) t.AddDrive(i, nSize);
    T_ENGINE_JOB job = t.Job(4);
    job.arrDrives[2].strName = "DISK #7";
    const auto result = row.pfnMake()->Run(job);
    ASSERT_TRUE(result.bOk);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(result.arrSlots[i].eVerdict, ESlotVerdict::Ok) << i;
        EXPECT_EQ(result.arrSlots[i].nBytes, nSize) << i;
        EXPECT_EQ(t.m_drives[i]->Contents(), row.pfnExpected(t, nSize)) << i;
        EXPECT_GE(t.m_drives[i]->FlushCount(), 1u) << i;
        EXPECT_EQ(t.m_recorder.ProgressValues(PROGRESS_DRIVE + ROWS[i]).back(), 1000) << i;
        EXPECT_FALSE(t.m_recorder.ProgressTexts(PROGRESS_DRIVE_SPEED + ROWS[i]).empty()) << i;
    }
    EXPECT_EQ(t.Count("DISK #7\n"), 1u);
    EXPECT_EQ(t.Count("  disk size=3146240 bytes.\n"), 4u);
    EXPECT_EQ(t.Count("DISK #7 - 3146240 bytes wrote.\n"), 1u);
    EXPECT_EQ(t.Count("fake:drive3 - 3146240 bytes wrote.\n"), 1u);
    EXPECT_EQ(t.m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
    EXPECT_TRUE(t.FailedRows().empty());
    t.ExpectAllClosed();
}

void AFlushThatFails(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    const auto result = t.RunWithFailingSecond(row, false, Drive(1) + " - disk flush error.",
                                               [](CFakeDisk& d) { d.FailFlush(SystemError::IoError()); });
    EXPECT_EQ(t.Count(Drive(1) + " - disk flush error.\n" + IoError()), 1u);
    t.ExpectSecondFailed(row, result, SystemError::IoError(), SIZE, SIZE);
}

void ADriveThatFailsMidway(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    const auto result =
        t.RunWithFailingSecond(row, false, Drive(1) + " - disk write retry out.", [](CFakeDisk& d) {
            d.FailWrites(2 * MIB + 5, 2 * MIB + 6, SystemError::IoError());
        });
    EXPECT_EQ(t.Count(Drive(1) + " - disk write error (00200000-002FFFFF).\n" + IoError()), 11u);
    EXPECT_EQ(t.Count(Drive(1) + " - disk write retry out.\n"), 1u);
    t.ExpectSecondFailed(row, result, SystemError::IoError(), 2 * MIB, 3 * MIB);
}

// Each write there stores half of what it is given; halving runs out at
// one byte, after which a write stores nothing: eleven of those are
// eleven failed tries.
void ADriveThatStoresLessAndLess(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    const auto result = t.RunWithFailingSecond(row, false, Drive(1) + " - disk write retry out.",
                                               [](CFakeDisk& d) { d.ShortWrites(MIB, 2 * MIB); });
    EXPECT_EQ(t.Count(Drive(1) + " - write count mismatch 00000001:00000000.\n"), 11u);
    t.ExpectSecondFailed(row, result, 0, MIB, 2 * MIB);
}

void AFullDiskIsNotRetried(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    const auto result = t.RunWithFailingSecond(row, false, Drive(1) + " - no room left", [](CFakeDisk& d) {
        d.FullAt(2 * MIB + 100, SystemError::DiskFull());
    });
    EXPECT_EQ(t.Count(Drive(1) + " - no room left to write (00200064-002FFFFF).\n" +
                      GetSystemErrorText(SystemError::DiskFull()) + "\n"),
              1u);
    EXPECT_FALSE(t.Logged("disk write error"));
    EXPECT_FALSE(t.Logged("retry out"));
    t.ExpectSecondFailed(row, result, SystemError::DiskFull(), 2 * MIB + 100, 2 * MIB + 100);
}

void AWriteThatStoresPartOfABlockGoesOn(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    row.pfnPrepare(t, SIZE, false);
    t.AddDrive(0, SIZE)->ShortWrites(MIB, MIB + 1);  // only the first write of that block touches it
    const auto result = row.pfnMake()->Run(t.Job(1));
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(t.m_drives[0]->Contents(), row.pfnExpected(t, SIZE));
    EXPECT_FALSE(t.Logged("write count mismatch"));
}

void AUnitThatCannotBeReadBack(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    const auto result = t.RunWithFailingSecond(row, true, Drive(1) + " - disk read retry out.", [](CFakeDisk& d) {
        d.FailReads(MIB + 10, MIB + 11, SystemError::IoError());
    });
    EXPECT_EQ(t.Count(Drive(1) + " - disk read error (00100000-001FFFFF).\n" + IoError()), 11u);
    EXPECT_EQ(t.Count(Drive(1) + " - disk read retry out.\n"), 1u);
    EXPECT_FALSE(result.bOk && result.DigestMatches(1));
    EXPECT_EQ(result.arrSlots[1].eVerdict, row.eReadBackFault);
    EXPECT_EQ(result.arrSlots[1].dwError, SystemError::IoError());
    EXPECT_FALSE(result.arrSlots[1].bDigest);
    EXPECT_EQ(t.m_drives[1]->Contents(), row.pfnExpected(t, SIZE));  // the write itself was done
    EXPECT_TRUE(t.FailedRows().empty());
    t.ExpectAllClosed();
}

void AStopBeforeTheRun(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    row.pfnPrepare(t, SIZE, false);
    const auto old = t.AddDrive(0, SIZE)->Contents();
    auto pEngine = row.pfnMake();
    pEngine->Abort();
    const auto result = pEngine->Run(t.Job(1));
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::NotRun);
    EXPECT_EQ(t.m_drives[0]->Contents(), old);
    EXPECT_EQ(t.m_drives[0]->FlushCount(), 0u);
    t.ExpectAllClosed();
}

// The drives write slowly: whatever makes their data waits for room, the
// writers wait in their writes.
void AStopWhileTheDrivesAreWritten(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    row.pfnPrepare(t, 16 * MIB, false);
    std::atomic<uint32_t> nWrites{0};
    for (int i : {0, 1}) {
        auto pDrive = t.AddDrive(i, 16 * MIB);
        pDrive->SetWriteDelayMs(20);
        pDrive->SetWriteHook([&](uint64_t, uint32_t, std::vector<uint8_t>&) { ++nWrites; });
    }
    const auto old = t.m_drives[0]->Contents();
    const auto result = t.StopWhenReady(row, 2, [&] { return nWrites >= 3; });
    for (const T_SLOT_RESULT& slot : result.arrSlots) EXPECT_EQ(slot.eVerdict, ESlotVerdict::Stopped);
    EXPECT_TRUE(SameRange(t.m_drives[0]->Contents(), old, 15 * MIB, 16 * MIB));
    EXPECT_FALSE(t.Logged(" bytes wrote"));
    EXPECT_FALSE(t.Logged("retry out"));
    EXPECT_EQ(t.FailedRows().size(), row.bPostsFailure ? 2u : 0u);
}

// The image comes slowly: the writers wait for blocks.
void AStopWhileTheImageIsRead(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    if (!row.bReadsImage) GTEST_SKIP() << "the engine reads no image";
    row.pfnPrepare(t, 16 * MIB, false);
    t.m_pImage->SetReadDelayMs(30);
    t.AddDrive(0, 16 * MIB);
    const auto result = t.StopWhenReady(row, 1, [&] { return t.m_pImage->TotalReads() >= 2; });
    EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Stopped);
    EXPECT_FALSE(t.Logged(" bytes wrote"));
}

// Only the read-back reads the drive. What was written stays written.
void AStopDuringTheReadBack(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    row.pfnPrepare(t, 16 * MIB, true);
    t.AddDrive(0, 16 * MIB)->SetReadDelayMs(20);
    const auto result = t.StopWhenReady(row, 1, [&] { return t.m_drives[0]->TotalReads() >= 3; });
    const bool bWriteStands = row.eReadBackFault == ESlotVerdict::Ok;
    EXPECT_EQ(result.arrSlots[0].eVerdict, bWriteStands ? ESlotVerdict::Ok : ESlotVerdict::Stopped);
    EXPECT_FALSE(result.arrSlots[0].bDigest);
    EXPECT_FALSE(t.Logged(Drive(0) + " MD5SUM="));
    EXPECT_EQ(t.m_drives[0]->Contents(), row.pfnExpected(t, 16 * MIB));
    EXPECT_EQ(t.Logged(" bytes wrote"), bWriteStands);
}

// A drive that cannot be used is left out with its line; the result
// depends on the others alone.
void AnUnusableDriveIsLeftOut(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    struct T_CASE {
        void (*pfnBreak)(CFakeDisk& disk);
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
    row.pfnPrepare(t, MIB, false);
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.strLine);
        t.m_recorder.Clear();
        t.m_drives.clear();
        auto pBroken = t.AddDrive(0, MIB);
        const auto old = pBroken->Contents();
        c.pfnBreak(*pBroken);
        t.AddDrive(1, MIB);
        const auto result = row.pfnMake()->Run(t.Job(2));
        EXPECT_TRUE(result.bOk);
        EXPECT_EQ(t.Count(c.strLine), 1u);
        EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::NotOpened);
        EXPECT_EQ(result.arrSlots[1].eVerdict, ESlotVerdict::Ok);
        EXPECT_EQ(pBroken->Contents(), old);
        EXPECT_EQ(t.m_drives[1]->Contents(), row.pfnExpected(t, MIB));
        EXPECT_TRUE(t.FailedRows().empty());
        t.ExpectAllClosed();
    }
}

// One drive given twice, by one path or by two, is refused before any
// write; more than four drives are refused without a line.
void DrivesThatCannotGoTogether(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    row.pfnPrepare(t, MIB, false);
    auto pDisk = t.AddDrive(0, MIB);
    const auto old = pDisk->Contents();
    t.m_devices.Add(Drive(1), pDisk);  // the same drive by another name
    t.m_devices.Add(Drive(2), pDisk);
    t.m_devices.Add(Drive(3), pDisk);
    t.m_devices.Add(Drive(4), pDisk);
    for (const std::string& strSecond : {Drive(0), Drive(1)}) {
        SCOPED_TRACE(strSecond);
        t.m_recorder.Clear();
        T_ENGINE_JOB job = t.Job(2);
        job.arrDrives[1].strPath = strSecond;
        const auto result = row.pfnMake()->Run(job);
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(t.Count("can't write disk " + strSecond +
                          ".\nit shares its storage with fake:drive0, also a target of this job.\n"),
                  1u);
        EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::NotRun);
    }
    t.m_recorder.Clear();
    const uint32_t nOpened = pDisk->OpenCount();
    const auto result = row.pfnMake()->Run(t.Job(5));
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.arrSlots.size(), 5u);
    EXPECT_TRUE(t.m_recorder.Messages().empty());
    EXPECT_EQ(pDisk->OpenCount(), nOpened);
    EXPECT_EQ(pDisk->Contents(), old);
    EXPECT_EQ(pDisk->FlushCount(), 0u);
    t.ExpectAllClosed();
}

// With compare-after-write a unit is skipped only when every byte of it is
// on the drive already: one that differs in its first or its last byte
// alone is written. Writes to the equal unit would fail.
void CompareAfterWriteSkipsOnlyEqualUnits(FaultMatrix& t, const T_ENGINE_ROW& row)
{
    const uint64_t nSize = 4 * MIB + 1000;
    row.pfnPrepare(t, nSize, false);
    t.m_options.bCompareAfterWrite = true;
    const auto expected = row.pfnExpected(t, nSize);
    auto contents = expected;
    for (uint64_t nAt : {2 * MIB - 1, 2 * MIB, 3 * MIB + MIB / 2, nSize - 1}) contents[nAt] ^= 0x01;
    t.AddDriveWith(0, contents)->FailWrites(0, MIB, SystemError::IoError());
    const auto result = row.pfnMake()->Run(t.Job(1));
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(t.Count(Drive(0) + " - 3146728 bytes wrote (skip=1048576).\n"), 1u);
    EXPECT_EQ(t.m_drives[0]->Contents(), expected);
}

const T_FAULT FAULTS[] = {
    {"FourDrivesEachDoneInFull", FourDrivesEachDoneInFull},
    {"AFlushThatFails", AFlushThatFails},
    {"ADriveThatFailsMidway", ADriveThatFailsMidway},
    {"ADriveThatStoresLessAndLess", ADriveThatStoresLessAndLess},
    {"AFullDiskIsNotRetried", AFullDiskIsNotRetried},
    {"AWriteThatStoresPartOfABlockGoesOn", AWriteThatStoresPartOfABlockGoesOn},
    {"AUnitThatCannotBeReadBack", AUnitThatCannotBeReadBack},
    {"AStopBeforeTheRun", AStopBeforeTheRun},
    {"AStopWhileTheDrivesAreWritten", AStopWhileTheDrivesAreWritten},
    {"AStopWhileTheImageIsRead", AStopWhileTheImageIsRead},
    {"AStopDuringTheReadBack", AStopDuringTheReadBack},
    {"AnUnusableDriveIsLeftOut", AnUnusableDriveIsLeftOut},
    {"DrivesThatCannotGoTogether", DrivesThatCannotGoTogether},
    {"CompareAfterWriteSkipsOnlyEqualUnits", CompareAfterWriteSkipsOnlyEqualUnits},
};

TEST_P(FaultMatrix, Holds)
{
    const auto& [row, fault] = GetParam();
    fault.pfnCheck(*this, row);
}

INSTANTIATE_TEST_SUITE_P(Engines, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(ROWS_OF_ENGINES), ::testing::ValuesIn(FAULTS)),
                         [](const auto& cell) {
                             return std::string(std::get<0>(cell.param).pName) + "_" + std::get<1>(cell.param).pName;
                         });

}  // namespace
}  // namespace engine_test
