#include "cli/cli_read.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "cli/cli_prompt.h"
#include "cli/memory.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/notify_queue.h"
#include "engine/core/system_error.h"
#include "engine/read/disk_to_image.h"

namespace {

// How often the main thread looks for a stop request while it waits.
constexpr std::chrono::milliseconds STOP_POLL{50};

// What a finished run leaves for the closing lines.
struct T_READ_RUN {
    bool bResult = false;
    bool bImageExisted = false;  // a file was at the image's path before the run
    uint64_t nTotal = 0;         // the drive's size; 0 when it was never measured
    uint64_t nImageBytes = 0;    // how many of the drive's bytes the image holds
};

// Paths are UTF-8 inside; a path object made from a plain string would read
// it in the system's narrow code page on Windows.
std::filesystem::path PathOf(const std::string& strUtf8)
{
    return std::filesystem::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

bool StopRequested(const T_READ_ENV& env)
{
    return env.pStop && env.pStop->IsRequested();
}

void PublishOptions(const T_CLI_ARGS& args)
{
    ResetJobOptions();
    g_bOptUnstableRead = args.bUnstable;
    g_nUnstableReadCount = args.bUnstable ? UNSTABLE_READ_AGREEMENT : 0;
}

// A stop request wins over --yes: nothing is replaced after one.
EPromptRule PromptRuleOf(const T_CLI_ARGS& args, const T_READ_ENV& env)
{
    if (StopRequested(env)) return EPromptRule::Stopped;
    return args.bYes ? EPromptRule::Yes : EPromptRule::Ask;
}

// Drains the queue on the main thread until the job thread has ended,
// aborting the engine once when a stop is requested.
void PumpMessages(CNotifyQueue& queue, CCliPrinter& printer, CDiskToImage& engine, const T_CLI_ARGS& args,
                  const T_READ_ENV& env)
{
    bool bAbortSent = false;
    for (;;) {
        if (!bAbortSent && StopRequested(env)) {
            bAbortSent = true;
            engine.Abort();
        }
        T_NOTIFY_MSG msg;
        if (!queue.Wait(msg, STOP_POLL)) continue;
        if (msg.uMsg == WM_DUMPTASK_END) return;
        if (msg.uMsg == WM_CLI_PROMPT) {
            auto* pRequest = reinterpret_cast<T_PROMPT_REQUEST*>(msg.lParam);
            printer.ClearProgress();
            AnswerPrompt(*pRequest, args.strImage + " already exists.", PromptRuleOf(args, env), env.io);
            delete pRequest;
        } else {
            printer.Handle(msg);
        }
    }
}

uint32_t BlockCountFor(const T_CLI_ARGS& args, uint64_t nAvailableMiB)
{
    const uint32_t nBlocks = ChooseBlockCount(args.nBufferMiB, nAvailableMiB);
    if (nBlocks < args.nBufferMiB) {
        LogWarning("--buffer %u MiB is more than 75%% of the available memory (%I64u MiB): lowered to %u MiB.\n",
                   args.nBufferMiB, nAvailableMiB, nBlocks);
    }
    return nBlocks;
}

T_READ_RUN RunEngine(const T_CLI_ARGS& args, const T_READ_ENV& env, CNotifyQueue& queue, CCliPrinter& printer)
{
    PublishOptions(args);
    CCliPrompt prompt(queue);
    CDiskToImage engine;
    engine.m_hNotifyWnd = &queue;
    engine.m_uProgressMsg = WM_ENGINE_PROGRESS;
    engine.m_uErrorMsg = WM_USER_ERROR;
    engine.m_dwInterval = 250;
    engine.m_pPrompt = &prompt;
    if (env.pDevices) engine.m_pDevices = env.pDevices;
    T_READ_RUN run;
    // Compression is on only with a zlib library; without one a compressed
    // image is refused before anything is opened.
    g_bOptCompressImage = WantsCompression(args);
    if (g_bOptCompressImage && !engine.m_zlib.IsLoaded()) {
        LogError("can't create file %s.\na compressed image needs the zlib library, and none was found.\n",
                 args.strImage);
        return run;
    }
    const uint32_t nBlocks = BlockCountFor(args, env.nAvailableMiB);
    std::error_code ec;
    run.bImageExisted = std::filesystem::exists(PathOf(args.strImage), ec);
    std::thread job;
    try {
        job = StartBackgroundThread([&] {
            run.bResult = engine.Run(args.strDrive, args.strImage, nBlocks);
            queue.Post(WM_DUMPTASK_END, 0, 0);
        });
    } catch (const std::system_error& e) {
        LogError("CreateThread() failed.\n%s\n", GetSystemErrorText(static_cast<uint32_t>(e.code().value())));
        return run;
    }
    PumpMessages(queue, printer, engine, args, env);
    job.join();
    run.nTotal = engine.m_nTotal;
    run.nImageBytes = engine.GetImageBytes();
    return run;
}

// The closing line of a job that a stop cut short: what the image holds.
// The engine replaces an existing image only with its first block, and
// removes a new one that never got a block.
void LogStopped(EStopSignal eSignal, const std::string& strImage, const T_READ_RUN& run)
{
    const char* pBy = StopSignalText(eSignal);
    if (run.nImageBytes > 0) {
        LogError("stopped by %s: the image %s is incomplete; it holds %I64u of the drive's %I64u bytes.\n", pBy,
                 strImage, run.nImageBytes, run.nTotal);
    } else if (run.bImageExisted) {
        LogError("stopped by %s before any of the drive's bytes reached %s; it was left as it was.\n", pBy, strImage);
    } else {
        LogError("stopped by %s before any of the drive's bytes were read; no image was written.\n", pBy);
    }
}

void DrainMessages(CNotifyQueue& queue, CCliPrinter& printer)
{
    T_NOTIFY_MSG msg;
    while (queue.TryTake(msg)) printer.Handle(msg);
}

void ReportOutputFailure(uint32_t nError, const T_CONSOLE_IO& io)
{
    if (nError == 0) return;
    std::string strText = "gravelmoor-cli: standard output could not be written; the log and the digest went to "
                          "standard error instead.\n" +
                          GetSystemErrorText(nError);
    if (strText.back() != '\n') strText += '\n';
    io.write(EStream::Error, strText);
}


// Two paths of one file or device: the same file (links included), or the
// same place once links are resolved (the library does not compare two
// device nodes).
bool IsSameObject(const std::filesystem::path& first, const std::filesystem::path& second)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::equivalent(first, second, ec) && !ec) return true;
    std::error_code ecFirst, ecSecond;
    const fs::path canonicalFirst = fs::canonical(first, ecFirst);
    const fs::path canonicalSecond = fs::canonical(second, ecSecond);
    return !ecFirst && !ecSecond && canonicalFirst == canonicalSecond;
}

}  // namespace

T_READ_ENV ProcessReadEnv()
{
    T_READ_ENV env;
    env.output = ChooseOutputMode(ReadOutputFacts());
    env.io.bCanAsk = IsTerminal(EStream::Input);
    env.pStop = &ProcessStopRequest();
    env.nAvailableMiB = AvailableMemoryMiB();
    return env;
}

// The drive itself is named first: /dev/sdb as image is "the drive
// itself", not merely "not a regular file".
std::string CheckImageTarget(const std::string& strDrive, const std::string& strImage)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(PathOf(strImage), ec);
    if (ec || !fs::exists(status)) return std::string();
    if (IsSameObject(PathOf(strDrive), PathOf(strImage))) return "the image " + strImage + " is the drive itself.";
    if (!fs::is_regular_file(status)) return "the image " + strImage + " exists and is not a regular file.";
    return std::string();
}

uint32_t ChooseBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB)
{
    uint64_t nBlocks = nAskedMiB;
    if (nAvailableMiB > 0) nBlocks = std::min<uint64_t>(nBlocks, nAvailableMiB * 3 / 4);
    return static_cast<uint32_t>(std::max<uint64_t>(nBlocks, MIN_BUFFER_MIB));
}

int RunReadCommand(const T_CLI_ARGS& args, const T_READ_ENV& env)
{
    CNotifyQueue queue;
    SetLogTarget(&queue, WM_ENGINE_LOG);
    CCliPrinter printer(env.output, 0, env.io.write);
    T_READ_RUN run;
    const std::string strRefusal = CheckImageTarget(args.strDrive, args.strImage);
    if (!strRefusal.empty())
        LogError("can't create file %s.\n%s\n", args.strImage, strRefusal);
    else
        run = RunEngine(args, env, queue, printer);
    // A stop that came after the read had succeeded changes nothing: the
    // image is whole and its digest was given.
    const bool bStopped = StopRequested(env) && !run.bResult;
    if (bStopped) LogStopped(env.pStop->Signal(), args.strImage, run);
    DrainMessages(queue, printer);
    printer.ClearProgress();
    SetLogTarget(nullptr, DEFAULT_LOG_MSG);
    ReportOutputFailure(printer.OutputError(), env.io);
    if (bStopped) return StopExitStatus(env.pStop->Signal());
    return run.bResult && printer.OutputError() == 0 ? 0 : 1;
}
