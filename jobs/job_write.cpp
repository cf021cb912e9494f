// The write job: the image to every drive of the job, then, when asked, a
// compare of the drives that were written, or their MD5 read-back check.
// With a digest file the image's digest is checked too: a digest that the
// file does not hold makes every drive NG.
#include <mutex>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/write/image_to_disk.h"
#include "jobs/job_runner.h"
#include "jobs/job_run.h"

namespace {

void RegisterWriteEngines(CImageToDisk* pWrite, CCompareDiskImage* pCompare)
{
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pImageToDisk = pWrite;
    g_pCompareDiskImage = pCompare;
}

// Compares the written drives with the image, with the verify pass's own
// options; each drive's place in the compare run, or -1 when it was not
// compared.
std::vector<int> VerifyWritten(T_JOB_RUN& run, CCompareDiskImage& compare, const T_JOB_OPTIONS& verifyOptions,
                               const std::vector<bool>& arrWritten, T_ENGINE_RESULT& verified)
{
    std::vector<int> arrPlace(run.arrDrives.size(), -1);
    T_ENGINE_JOB job = run.EngineJob(verifyOptions);
    job.bVerifyPass = true;  // the write was the job's first half
    job.arrDrives.clear();
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        if (!arrWritten[i]) continue;
        arrPlace[i] = static_cast<int>(job.arrDrives.size());
        const T_JOB_DRIVE& drive = run.arrDrives[i];
        job.arrDrives.push_back(T_ENGINE_DRIVE{drive.strPath, drive.strName, drive.nSlot});
    }
    if (job.arrDrives.empty()) return arrPlace;
    verified = compare.Run(job);
    if (verified.bOk) {
        LogInfo("%s VERIFY OK.\n", StampNow());
    } else {
        DebugTrace("CCompareDiskImage::Run() error.\n");
        LogError("%s VERIFY NG.\n", StampNow());
    }
    return arrPlace;
}

// The image's digests against the digest file's; true when it holds the
// file's or the data's. Says which matched, or why none did (nothing more
// when the image was not read whole: the write has said why).
bool CheckImageDigest(const T_JOB_RUN& run, const T_ENGINE_RESULT& written)
{
    const std::string& strFile = run.options.strCheckFile;
    const T_DIGEST_VALUE& expected = run.checkDigest;
    const T_IMAGE_DIGESTS& image = written.imageDigests;
    const char* pszKind = DigestName(expected.eKind);
    if (image.bData && image.data == expected) {
        LogInfo("the %s of the image data matches %s.\n", pszKind, strFile);
        return true;
    }
    if (image.bFile && image.file == expected) {
        LogInfo("the %s of the image file matches %s.\n", pszKind, strFile);
        return true;
    }
    if (!image.bFile && !image.bData) {
        if (written.bOk) LogError("the image's %s was not computed; it is not checked against %s.\n", pszKind, strFile);
        return false;
    }
    std::string strComputed;
    if (image.bFile) strComputed = FormatText("the %s of the image file is %s", pszKind, DigestText(image.file));
    if (image.bFile && image.bData) strComputed += " and that";
    else if (image.bData) strComputed += FormatText("the %s", pszKind);
    if (image.bData) strComputed += " of the image data is " + DigestText(image.data);
    if (IsCompressedFormat(ImageFormatOf(run.options)) && !image.bData)
        strComputed += " (that of the image data is not known: not all of the data were read)";
    LogError("the image's digest does not match %s: it holds %s, but %s.\n", strFile, DigestText(expected),
             strComputed);
    return false;
}

// One line per drive; its verdict is the write's and the checks' together.
// bImageOk is the image's digest check's verdict, shown when the job has
// one.
void SummaryLines(T_JOB_RUN& run, const T_JOB_OPTIONS& options, const T_ENGINE_RESULT& written,
                  const T_ENGINE_RESULT& verified, const std::vector<int>& arrPlace, bool bImageOk)
{
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        const bool bWritten = written.arrSlots[i].Ok();
        SummaryStart(run.arrDrives[i]);
        SummaryVerdict("DISK WRITE=%s", bWritten);
        run.arrResult[i] = bWritten;
        if (options.bVerify) {
            SummaryText(", ");
            const bool bVerified = arrPlace[i] >= 0 && verified.arrSlots[static_cast<size_t>(arrPlace[i])].Ok();
            if (arrPlace[i] >= 0) SummaryVerdict("VERIFY=%s", bVerified);
            else SummaryText("VERIFY=--");
            run.arrResult[i] = bWritten && bVerified;
        } else if (options.bMD5Verify) {
            SummaryText(", ");
            SummaryVerdict("MD5SUM CHECK=%s", written.DigestMatches(i));
            run.arrResult[i] = bWritten && written.DigestMatches(i);
        }
        if (!options.strCheckFile.empty()) {
            SummaryText(", ");
            SummaryVerdict("IMAGE CHECK=%s", bImageOk);
            run.arrResult[i] = run.arrResult[i] && bImageOk;
        }
        SummaryText("\n");
    }
}

}  // namespace

void RunWriteJob(T_JOB_RUN& run)
{
    // The MD5 check takes the place of the compare; a forced write lends
    // force-verify to its own compare only.
    T_JOB_OPTIONS writeOptions = run.options;
    if (writeOptions.bMD5Verify) writeOptions.bVerify = false;
    T_JOB_OPTIONS verifyOptions = writeOptions;
    if (verifyOptions.bForceWrite) verifyOptions.bForceVerify = true;

    CImageToDisk write;
    CCompareDiskImage compare;
    RegisterWriteEngines(&write, &compare);

    T_ENGINE_JOB writeJob = run.EngineJob(writeOptions);
    if (!writeOptions.strCheckFile.empty()) writeJob.imageDigests = run.checkDigest.eKind;
    const T_ENGINE_RESULT written = write.Run(writeJob);
    if (written.bOk)
        LogInfo("%s DISK WRITE OK.\n", StampNow());
    else
        LogError("%s DISK WRITE FAILED.\n", StampNow());
    const bool bImageOk = !writeOptions.strCheckFile.empty() && CheckImageDigest(run, written);
    std::vector<bool> arrWritten(run.arrDrives.size());
    for (size_t i = 0; i < arrWritten.size(); ++i) arrWritten[i] = written.arrSlots[i].Ok();

    std::vector<int> arrPlace(run.arrDrives.size(), -1);
    T_ENGINE_RESULT verified;
    if (writeOptions.bVerify) arrPlace = VerifyWritten(run, compare, verifyOptions, arrWritten, verified);
    SummaryLines(run, writeOptions, written, verified, arrPlace, bImageOk);
    RegisterWriteEngines(nullptr, nullptr);
}
