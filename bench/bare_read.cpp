// The read engine alone, without the job runner or the command line: one
// drive into one raw image with 16 blocks, the log on standard output.
// The runner benchmark times it against `gravelmoor-cli read`.
//   bare_read DRIVE IMAGE
#include <cstdio>
#include <string>

#include "engine/core/log.h"
#include "engine/read/disk_to_image.h"

namespace {

// Prints every log line as it comes (no window, no queue).
class CStdoutTarget : public INotifyTarget {
public:
    bool Post(uint32_t uMsg, WPARAM_T, LPARAM_T lParam) override
    {
        if (uMsg != DEFAULT_LOG_MSG) return true;
        std::fputs(HeapStringOf(lParam), stdout);
        FreeHeapString(lParam);
        return true;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: bare_read DRIVE IMAGE\n", stderr);
        return 2;
    }
    CStdoutTarget target;
    SetLogTarget(&target, DEFAULT_LOG_MSG);
    T_ENGINE_JOB job;
    job.options.bOverwrite = true;
    job.arrDrives.push_back(T_ENGINE_DRIVE{argv[1], "", 0});
    job.strImage = argv[2];
    CDiskToImage engine;
    const bool bOk = engine.Run(job).bOk;
    SetLogTarget(nullptr, DEFAULT_LOG_MSG);
    return bOk ? 0 : 1;
}
