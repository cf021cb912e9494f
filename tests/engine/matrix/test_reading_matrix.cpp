// The drive-reading matrix, beside the fault matrix of the engines that
// write drives: every engine that reads drives meets the same faults of
// its drive, made by the fake device (a region that never reads, one that
// reads at the last try, unstable media, a drive that cannot be used), a
// pool that cannot be built, and stops before and during the run. A row
// says what the matrix must know of an engine; a fault sets drive 0 up,
// runs the engine and checks what it left: the slot's verdict and error,
// the lines, how often the drive was read, and every handle closed.
#include <atomic>
#include <chrono>
#include <memory>
#include <tuple>

#include "engine/compare/compare_disk_image.h"
#include "engine/read/disk_to_image.h"
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

class IReadingEngine {
public:
    virtual ~IReadingEngine() = default;
    virtual T_ENGINE_RESULT Run(const T_ENGINE_JOB& job) = 0;
    virtual void Abort() = 0;
};

template <class TEngine>
class CReadingEngine : public IReadingEngine {
public:
    T_ENGINE_RESULT Run(const T_ENGINE_JOB& job) override { return m_engine.Run(job); }
    void Abort() override { m_engine.Abort(); }

private:
    TEngine m_engine;
};

template <class TEngine>
std::unique_ptr<IReadingEngine> Make()
{
    return std::make_unique<CReadingEngine<TEngine>>();
}

struct T_READING_ROW {
    const char* pName;
    std::unique_ptr<IReadingEngine> (*pfnMake)();
    // Gives the job the image the engine needs for a drive holding data.
    void (*pfnPrepare)(EngineRig& rig, const std::vector<uint8_t>& data);
    bool bNamedLines;    // the drive reader's lines start with "<name> - "
    const char* pszDone;  // the end of the line of a drive done in full: "<name> - <bytes><done>"
    bool bPostsFailure;  // a drive that fails is posted to the window at once, with its row
    uint32_t nDriveCode;  // the progress code of a drive's bar, before its row is added
    int nMaxDrives;
};

const T_READING_ROW ROWS_OF_READERS[] = {
    {"Read", Make<CDiskToImage>, [](EngineRig& rig, const std::vector<uint8_t>&) { rig.AddImage({})->GrowOnWrite(); },
     false, " bytes dumped.\n", false, PROGRESS_DRIVE, 1},
    {"Compare", Make<CCompareDiskImage>, [](EngineRig& rig, const std::vector<uint8_t>& data) { rig.AddImage(data); },
     true, " bytes checked.\n", true, PROGRESS_DRIVE_VERIFY, 4},
};

class ReadingMatrix;
struct T_FAULT {
    const char* pName;
    void (*pfnCheck)(ReadingMatrix& t, const T_READING_ROW& row);
};

void PrintTo(const T_READING_ROW& row, std::ostream* pOut)
{
    *pOut << row.pName;
}
void PrintTo(const T_FAULT& fault, std::ostream* pOut)
{
    *pOut << fault.pName;
}

class ReadingMatrix : public EngineRig, public ::testing::WithParamInterface<std::tuple<T_READING_ROW, T_FAULT>> {
public:
    // Drive 0 of nSize bytes with the engine's image, broken by pfnBreak.
    std::shared_ptr<CFakeDisk> Drive0(const T_READING_ROW& row, uint64_t nSize)
    {
        m_recorder.Clear();
        m_drives.clear();
        auto pDisk = AddDrive(0, nSize);
        row.pfnPrepare(*this, pDisk->Contents());
        return pDisk;
    }
    // A line of the drive reader, as the row's engine logs it.
    std::string Line(const T_READING_ROW& row, const std::string& strLine)
    {
        return (row.bNamedLines ? Drive(0) + " - " : std::string()) + strLine;
    }
    std::string Done(const T_READING_ROW& row, uint64_t nBytes)
    {
        return Drive(0) + " - " + std::to_string(nBytes) + row.pszDone;
    }
    // The run ended with drive 0 failed as eVerdict says, nothing done in
    // full, the failure posted where the engine posts it.
    void ExpectFailed(const T_READING_ROW& row, const T_ENGINE_RESULT& result, ESlotVerdict eVerdict)
    {
        EXPECT_FALSE(result.bOk);
        ASSERT_EQ(result.arrSlots.size(), 1u);
        EXPECT_EQ(result.arrSlots[0].eVerdict, eVerdict);
        EXPECT_FALSE(Logged(row.pszDone));
        const bool bPosted = row.bPostsFailure && eVerdict != ESlotVerdict::NotOpened && eVerdict != ESlotVerdict::NotRun;
        EXPECT_EQ(FailedRows(), bPosted ? std::vector<int64_t>{ROWS[0]} : std::vector<int64_t>{});
        ExpectAllClosed();
    }
    // Runs a fresh engine, stopped from another thread once bReady says so.
    T_ENGINE_RESULT StopWhenReady(const T_READING_ROW& row, const std::function<bool()>& bReady)
    {
        auto pEngine = row.pfnMake();
        T_ENGINE_RESULT result;
        StopWhen(*pEngine, bReady, [&] {
            result = pEngine->Run(Job(1));
            return result.bOk;
        });
        return result;
    }
};

// The last progress batch shows the finished state however soon the run
// ends.
void AWholeDriveIsDoneAndTheLastBatchShowsIt(ReadingMatrix& t, const T_READING_ROW& row)
{
    const uint64_t nSize = 2 * MIB + 700;
    auto pDisk = t.Drive0(row, nSize);
    T_ENGINE_JOB job = t.Job(1);
    job.wiring.dwInterval = 60000;  // the stages end long before a first poll
    const auto start = std::chrono::steady_clock::now();
    const auto result = row.pfnMake()->Run(job);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(result.nTotal, nSize);
    ASSERT_EQ(result.arrSlots.size(), 1u);
    EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Ok);
    EXPECT_EQ(result.arrSlots[0].nBytes, nSize);
    EXPECT_EQ(t.Count(t.Done(row, nSize)), 1u);
    EXPECT_EQ(t.m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
    EXPECT_EQ(t.m_recorder.ProgressValues(row.nDriveCode + ROWS[0]).back(), 1000);
    EXPECT_FALSE(t.m_recorder.ProgressTexts(PROGRESS_DRIVE_SPEED + ROWS[0]).empty());
    EXPECT_TRUE(t.m_recorder.ProgressValues(row.nDriveCode + 0).empty());  // row 0 is not this drive's
    EXPECT_TRUE(t.FailedRows().empty());
    t.ExpectAllClosed();
}

void ARegionThatNeverReadsIsGivenUpAfterElevenReads(ReadingMatrix& t, const T_READING_ROW& row)
{
    auto pDisk = t.Drive0(row, 4 * MIB);
    pDisk->FailReads(2 * MIB + 100, 2 * MIB + 200, SystemError::IoError());
    const auto result = row.pfnMake()->Run(t.Job(1));
    EXPECT_EQ(pDisk->ReadsAt(2 * MIB), 11u);
    EXPECT_EQ(pDisk->ReadsAt(3 * MIB), 0u);
    EXPECT_EQ(t.Count(t.Line(row, "disk read error (00200000-002FFFFF).\n") + IoError()), 11u);
    EXPECT_EQ(t.Count(t.Line(row, "disk read retry out.\n")), 1u);
    EXPECT_EQ(result.arrSlots[0].dwError, SystemError::IoError());
    t.ExpectFailed(row, result, ESlotVerdict::ReadFailed);
}

void ABlockThatReadsAtTheEleventhTryIsKept(ReadingMatrix& t, const T_READING_ROW& row)
{
    auto pDisk = t.Drive0(row, 2 * MIB);
    pDisk->FailReads(MIB, MIB + 1, SystemError::IoError(), 10);
    const auto result = row.pfnMake()->Run(t.Job(1));
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Ok);
    EXPECT_EQ(pDisk->ReadsAt(MIB), 11u);
    EXPECT_FALSE(t.Logged("retry out"));
    EXPECT_EQ(t.Count(t.Done(row, 2 * MIB)), 1u);
}

// In the unstable-media mode a 4096-byte block counts when four reads in a
// row agree, within ten counted reads; a failed read starts the agreement
// over.
void UnstableMediaAgreeOrAreGivenUp(ReadingMatrix& t, const T_READING_ROW& row)
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
        // Four reads agree at the 14th, after more than ten counted reads:
        // too late.
        {[](CFakeDisk& d) { d.UnstableReads(8192, 8193, 9); }, false, 14, 5, 0},
        {[](CFakeDisk& d) { d.FailReads(8192, 8193, SystemError::IoError(), 2); }, true, 6, 0, 2},
    };
    t.m_options.bUnstableRead = true;
    t.m_options.nUnstableReadCount = UNSTABLE_READ_AGREEMENT;
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.nReads);
        auto pDisk = t.Drive0(row, 16 * 1024);
        c.pfnBreak(*pDisk);
        const auto result = row.pfnMake()->Run(t.Job(1));
        EXPECT_EQ(result.bOk, c.bOk);
        EXPECT_EQ(pDisk->ReadsAt(8192), c.nReads);
        EXPECT_EQ(pDisk->ReadsAt(0), 4u);  // a stable block is read four times
        EXPECT_EQ(t.Count(t.Line(row, "disk read unstable (00002000-00002FFF).\n")), c.nUnstable);
        EXPECT_EQ(t.Count(t.Line(row, "disk read error (00002000-00002FFF).\n") + IoError()), c.nErrors);
        EXPECT_EQ(t.Count(t.Line(row, "disk read retry out.\n")), c.bOk ? 0u : 1u);
        EXPECT_EQ(t.Count(t.Done(row, 16 * 1024)), c.bOk ? 1u : 0u);
    }
}

// A drive that cannot be used is never read; one whose length request
// fails is measured by its geometry.
void ADriveThatCannotBeUsedIsNeverRead(ReadingMatrix& t, const T_READING_ROW& row)
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
        {[](CFakeDisk& d) { d.SetKind(EDeviceKind::PipeOrSocket); },
         "can't open disk fake:drive0.\nit is a pipe or socket, not a disk.\n"},
        {[](CFakeDisk& d) { d.FailLengthRequest(SystemError::NotSupported(), true); },
         "GetDiskSize() failed.\n" + GetSystemErrorText(SystemError::NotSupported()) + "\n"},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.strLine);
        auto pDisk = t.Drive0(row, MIB);
        c.pfnBreak(*pDisk);
        const auto result = row.pfnMake()->Run(t.Job(1));
        EXPECT_EQ(t.Count(c.strLine), 1u);
        EXPECT_EQ(pDisk->TotalReads(), 0u);
        t.ExpectFailed(row, result, ESlotVerdict::NotOpened);
    }
    t.Drive0(row, 2 * MIB)->FailLengthRequest(SystemError::NotSupported(), false);
    EXPECT_TRUE(row.pfnMake()->Run(t.Job(1)).bOk);
    EXPECT_EQ(t.Count(t.Done(row, 2 * MIB)), 1u);
}

// Nothing is opened or logged for a job of no drive or of too many.
void AJobOfNoDriveOrOfTooManyIsRefused(ReadingMatrix& t, const T_READING_ROW& row)
{
    auto pDisk = t.Drive0(row, MIB);
    for (int i = 1; i <= row.nMaxDrives; ++i) t.m_devices.Add(Drive(i), pDisk);
    for (int nDrives : {0, row.nMaxDrives + 1}) {
        const auto result = row.pfnMake()->Run(t.Job(nDrives));
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(result.arrSlots.size(), static_cast<size_t>(nDrives));
    }
    EXPECT_TRUE(t.m_recorder.Messages().empty());
    EXPECT_EQ(pDisk->OpenCount() + t.m_pImage->OpenCount(), 0u);
}

// A pool that can be only partly built fails the run before the image is
// opened (and so before anyone is asked about it) or the drive is read.
void APoolThatCannotBeBuiltTouchesNothing(ReadingMatrix& t, const T_READING_ROW& row)
{
    auto pDisk = t.Drive0(row, MIB);
    static std::atomic<int> s_nRegionsLeft;
    s_nRegionsLeft = 5;
    SetRegionAllocator([](size_t n) { return s_nRegionsLeft.fetch_sub(1) > 0 ? DefaultAllocRegion(n) : nullptr; });
    const auto result = row.pfnMake()->Run(t.Job(1));
    SetRegionAllocator(nullptr);
    EXPECT_EQ(t.Count("out of memory.\n" + GetSystemErrorText(SystemError::NoMemory()) + "\n"), 1u);
    EXPECT_EQ(pDisk->TotalReads() + t.m_pImage->OpenCount(), 0u);
    t.ExpectFailed(row, result, ESlotVerdict::NotRun);
}

void AStopBeforeTheRunReadsNothing(ReadingMatrix& t, const T_READING_ROW& row)
{
    auto pDisk = t.Drive0(row, MIB);
    auto pEngine = row.pfnMake();
    pEngine->Abort();
    const auto result = pEngine->Run(t.Job(1));
    EXPECT_EQ(pDisk->TotalReads() + t.m_pImage->TotalReads(), 0u);
    EXPECT_TRUE(t.m_pImage->Contents().empty() || t.m_pImage->Contents() == pDisk->Contents());
    t.ExpectFailed(row, result, ESlotVerdict::NotRun);
}

void AStopWhileTheReaderRetriesEndsTheRetries(ReadingMatrix& t, const T_READING_ROW& row)
{
    auto pDisk = t.Drive0(row, 4 * MIB);
    pDisk->FailReads(MIB, MIB + 1, SystemError::IoError());
    pDisk->SetReadDelayMs(30);
    const auto result = t.StopWhenReady(row, [&] { return pDisk->ReadsAt(MIB) >= 3; });
    EXPECT_LT(pDisk->ReadsAt(MIB), 11u);
    EXPECT_FALSE(t.Logged("retry out"));
    t.ExpectFailed(row, result, ESlotVerdict::Stopped);
}

void AStopWhileTheDriveIsReadEndsTheRunPromptly(ReadingMatrix& t, const T_READING_ROW& row)
{
    auto pDisk = t.Drive0(row, 64 * MIB);
    pDisk->SetReadDelayMs(20);
    const auto result = t.StopWhenReady(row, [&] { return pDisk->TotalReads() >= 3; });
    EXPECT_LT(pDisk->TotalReads(), 64u);
    t.ExpectFailed(row, result, ESlotVerdict::Stopped);
}

const T_FAULT FAULTS[] = {
    {"AWholeDriveIsDoneAndTheLastBatchShowsIt", AWholeDriveIsDoneAndTheLastBatchShowsIt},
    {"ARegionThatNeverReadsIsGivenUpAfterElevenReads", ARegionThatNeverReadsIsGivenUpAfterElevenReads},
    {"ABlockThatReadsAtTheEleventhTryIsKept", ABlockThatReadsAtTheEleventhTryIsKept},
    {"UnstableMediaAgreeOrAreGivenUp", UnstableMediaAgreeOrAreGivenUp},
    {"ADriveThatCannotBeUsedIsNeverRead", ADriveThatCannotBeUsedIsNeverRead},
    {"AJobOfNoDriveOrOfTooManyIsRefused", AJobOfNoDriveOrOfTooManyIsRefused},
    {"APoolThatCannotBeBuiltTouchesNothing", APoolThatCannotBeBuiltTouchesNothing},
    {"AStopBeforeTheRunReadsNothing", AStopBeforeTheRunReadsNothing},
    {"AStopWhileTheReaderRetriesEndsTheRetries", AStopWhileTheReaderRetriesEndsTheRetries},
    {"AStopWhileTheDriveIsReadEndsTheRunPromptly", AStopWhileTheDriveIsReadEndsTheRunPromptly},
};

TEST_P(ReadingMatrix, Holds)
{
    const auto& [row, fault] = GetParam();
    fault.pfnCheck(*this, row);
}

INSTANTIATE_TEST_SUITE_P(Engines, ReadingMatrix,
                         ::testing::Combine(::testing::ValuesIn(ROWS_OF_READERS), ::testing::ValuesIn(FAULTS)),
                         [](const auto& test) {
                             return std::string(std::get<0>(test.param).pName) + "_" + std::get<1>(test.param).pName;
                         });

}  // namespace
}  // namespace engine_test
