#include "cli/cli_read.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "cli/cli_output.h"
#include "cli/cli_prompt.h"
#include "cli/console.h"
#include "cli/memory.h"
#include "engine/read/disk_to_image.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/notify_queue.h"

namespace {

std::atomic<bool> g_bInterrupted{false};

// The first Ctrl-C stops the job cleanly; a second one, for a drive that
// hangs in a read, ends the program at once.
void OnInterrupt()
{
    if (g_bInterrupted.exchange(true)) std::_Exit(130);
}

void PublishOptions(const T_CLI_ARGS& args)
{
    ResetJobOptions();
    g_bOptUnstableRead = args.bUnstable;
    g_nUnstableReadCount = args.bUnstable ? UNSTABLE_READ_AGREEMENT : 0;
}

// Drains the queue on the main thread until the job thread has ended,
// stopping the engine once when the operator presses Ctrl-C.
void PumpMessages(CNotifyQueue& queue, CCliPrinter& printer, CDiskToImage& engine, const T_CLI_ARGS& args)
{
    bool bAbortSent = false;
    for (;;) {
        if (g_bInterrupted && !bAbortSent) {
            bAbortSent = true;
            engine.Abort();
            LogWarning("stopped by the operator.\n");
        }
        T_NOTIFY_MSG msg;
        if (!queue.Wait(msg, std::chrono::milliseconds(100))) continue;
        if (msg.uMsg == WM_DUMPTASK_END) return;
        if (msg.uMsg == WM_CLI_PROMPT) {
            auto* pRequest = reinterpret_cast<T_PROMPT_REQUEST*>(msg.lParam);
            printer.ClearProgress();
            AnswerPrompt(*pRequest, args.bYes && !g_bInterrupted);
            delete pRequest;
        } else {
            printer.Handle(msg);
        }
    }
}

// Paths are UTF-8 inside; a path object made from a plain string would read
// it in the system's narrow code page on Windows.
std::filesystem::path PathOf(const std::string& strUtf8)
{
    return std::filesystem::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

}  // namespace

std::string CheckImageTarget(const std::string& strDrive, const std::string& strImage)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(PathOf(strImage), ec);
    if (ec || !fs::exists(status)) return std::string();
    if (fs::equivalent(PathOf(strDrive), PathOf(strImage), ec) && !ec) return "the image " + strImage + " is the drive itself.";
    if (!fs::is_regular_file(status)) return "the image " + strImage + " exists and is not a regular file.";
    return std::string();
}

uint32_t ChooseBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB)
{
    uint64_t nBlocks = nAskedMiB;
    if (nAvailableMiB > 0) nBlocks = std::min<uint64_t>(nBlocks, nAvailableMiB * 3 / 4);
    return static_cast<uint32_t>(std::max<uint64_t>(nBlocks, MIN_BUFFER_MIB));
}

int RunReadCommand(const T_CLI_ARGS& args)
{
    PrepareConsole();
    CNotifyQueue queue;
    SetLogTarget(&queue, WM_ENGINE_LOG);
    CCliPrinter printer(IsTerminal(EStream::Output), IsTerminal(EStream::Error), 0);
    InstallInterruptHandler(OnInterrupt);

    bool bResult = false;
    const std::string strRefusal = CheckImageTarget(args.strDrive, args.strImage);
    if (!strRefusal.empty()) {
        LogError("can't create file %s.\n%s\n", args.strImage, strRefusal);
    } else {
        PublishOptions(args);
        CCliPrompt prompt(queue);
        CDiskToImage engine;
        engine.m_hNotifyWnd = &queue;
        engine.m_uProgressMsg = WM_ENGINE_PROGRESS;
        engine.m_uErrorMsg = WM_USER_ERROR;
        engine.m_dwInterval = 250;
        engine.m_pPrompt = &prompt;
        const uint32_t nBlocks = ChooseBlockCount(args.nBufferMiB, AvailableMemoryMiB());
        std::thread job([&] {
            bResult = engine.Run(args.strDrive, args.strImage, nBlocks);
            queue.Post(WM_DUMPTASK_END, 0, 0);
        });
        PumpMessages(queue, printer, engine, args);
        job.join();
    }
    T_NOTIFY_MSG msg;
    while (queue.TryTake(msg)) printer.Handle(msg);
    printer.ClearProgress();
    SetLogTarget(nullptr, DEFAULT_LOG_MSG);
    return bResult ? 0 : 1;
}
