// POSIX adapter of the terminal port: the standard streams and the text
// written to them. Stop requests and terminal input are in stop_posix.cpp.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "cli/console.h"

namespace {

// Writes everything, going on after a signal cut a write short.
uint32_t WriteAll(int fd, std::string_view strText)
{
    const char* p = strText.data();
    size_t nLeft = strText.size();
    while (nLeft > 0) {
        const ssize_t n = ::write(fd, p, nLeft);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return static_cast<uint32_t>(errno);
        if (n == 0) return EIO;
        p += n;
        nLeft -= static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

// A program started with a standard stream closed would hand that
// descriptor number to the next file it opens: the drive or the image would
// become "standard output" and log lines would be written into the image.
// Each missing one of 0, 1 and 2 is opened on /dev/null, lowest first, so
// that open() hands out exactly the missing number.
bool EnsureStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int fdNull = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (fdNull < 0) return false;
        if (fdNull != fd) {
            const bool bMoved = ::dup2(fdNull, fd) == fd;
            ::close(fdNull);
            if (!bMoved) return false;
        }
    }
    return true;
}

EStreamKind StreamKindOf(EStream eStream)
{
    const int fd = static_cast<int>(eStream);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return EStreamKind::Closed;
    if (::isatty(fd) == 1) return EStreamKind::Terminal;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return EStreamKind::Pipe;
    return EStreamKind::File;
}

bool IsTerminal(EStream eStream)
{
    return ::isatty(static_cast<int>(eStream)) == 1;
}

// A reader of our output that goes away (a closed pipe) must not end the
// job halfway: writes then fail with an error the front end reports, and
// the job runs to its end.
void PrepareConsole()
{
    ::signal(SIGPIPE, SIG_IGN);
}

uint32_t WriteOut(EStream eStream, std::string_view strText)
{
    if (eStream == EStream::Input) return 0;
    return WriteAll(static_cast<int>(eStream), strText);
}

void WriteOutFromSignal(EStream eStream, std::string_view strText)
{
    WriteOut(eStream, strText);  // write(2) only: safe in a signal handler
}

std::vector<std::string> GetUtf8Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

std::string GetEnvironmentText(const char* pName)
{
    const char* pValue = std::getenv(pName);
    return pValue ? std::string(pValue) : std::string();
}
