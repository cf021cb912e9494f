#pragma once
// How workers tell the front end what happens: posted messages only, never a
// call into the window. A message is (id, wParam, lParam) as on Windows;
// heap strings travel in lParam and belong to the receiver.
#include <cstdint>
#include <string_view>

using WPARAM_T = uintptr_t;
using LPARAM_T = intptr_t;

// Message ids the main window chooses and hands to every job.
constexpr uint32_t WM_ENGINE_PROGRESS = 0x1400;
constexpr uint32_t WM_ENGINE_LOG = 0x1401;
constexpr uint32_t WM_USER_ERROR = 0x1402;
constexpr uint32_t WM_DUMPTASK_END = 0x1403;
constexpr uint32_t WM_SHELL_CHANGE = 0x1404;
constexpr uint32_t WM_CHECKSUM_RESULT = 0x1405;

// wParam of WM_CHECKSUM_RESULT, the image checksum task's reports.
constexpr WPARAM_T CHECKSUM_STATE = 0;    // lParam: one of the CHECKSUM_STATE_ values
constexpr WPARAM_T CHECKSUM_DIGEST = 1;   // lParam: heap string, 32 lower-case hexadecimal digits
constexpr WPARAM_T CHECKSUM_VERDICT = 2;  // lParam: 0 the .md5sum file agrees, else one of the values below
constexpr WPARAM_T CHECKSUM_SIZE = 3;     // lParam: heap string, the data size in bytes as decimal text
constexpr LPARAM_T CHECKSUM_STATE_STARTED = 0;
constexpr LPARAM_T CHECKSUM_STATE_CANCELLED = 1;
constexpr LPARAM_T CHECKSUM_STATE_FAILED = 2;
constexpr LPARAM_T CHECKSUM_VERDICT_DIFFERS = 1;
// It holds the digest of the compressed image's own bytes, not of its data.
constexpr LPARAM_T CHECKSUM_VERDICT_OF_FILE = 2;
// The SHA-256 reports, when a file the checksum looks at for the image's
// SHA-256 (IMAGE.sha256sum, IMAGE.sha256) is there: the digests as heap
// strings of 64 lower-case hexadecimal digits, of the file as it is and of
// a compressed image's data, then one verdict per such file.
constexpr WPARAM_T CHECKSUM_FILE_SHA256 = 4;
constexpr WPARAM_T CHECKSUM_DATA_SHA256 = 5;
constexpr WPARAM_T CHECKSUM_VERDICT_SHA256SUM = 6;  // lParam: IMAGE.sha256sum's, one of the values below
constexpr WPARAM_T CHECKSUM_VERDICT_SHA256 = 7;     // lParam: IMAGE.sha256's, one of the values below
constexpr LPARAM_T SHA256_VERDICT_DATA = 0;     // it holds the SHA-256 of the image's data
constexpr LPARAM_T SHA256_VERDICT_FILE = 1;     // it holds the SHA-256 of the file as it is
constexpr LPARAM_T SHA256_VERDICT_NEITHER = 2;  // it holds neither (or no SHA-256 digest at all)

// The checksum reports whose lParam is a heap string.
inline bool ChecksumReportCarriesString(WPARAM_T nKind)
{
    return nKind == CHECKSUM_DIGEST || nKind == CHECKSUM_SIZE || nKind == CHECKSUM_FILE_SHA256 ||
           nKind == CHECKSUM_DATA_SHA256;
}

// Defaults an engine's constructor sets before a job fills in the real ids.
constexpr uint32_t DEFAULT_PROGRESS_MSG = 0x400;
constexpr uint32_t DEFAULT_LOG_MSG = 0x401;
constexpr uint32_t DEFAULT_ERROR_MSG = 0x402;

// The port that stands for a window handle plus PostMessageW.
class INotifyTarget {
public:
    virtual ~INotifyTarget() = default;
    // Queues the message and returns at once; false when it was lost.
    virtual bool Post(uint32_t uMsg, WPARAM_T wParam, LPARAM_T lParam) = 0;
};

// Posts a message, tolerating a missing target (then nothing is sent).
bool PostNotify(INotifyTarget* pTarget, uint32_t uMsg, WPARAM_T wParam, LPARAM_T lParam);

// Heap strings for messages: a copy of the text in an array of
// (length + 2) characters, terminator included. The receiver frees it.
char* NewHeapString(std::string_view strText);
void FreeHeapString(LPARAM_T lParam);
const char* HeapStringOf(LPARAM_T lParam);

// Posts a heap copy of the text; when the posting fails the copy is lost
// with it, as a lost window message would lose it.
bool PostHeapString(INotifyTarget* pTarget, uint32_t uMsg, WPARAM_T wParam, std::string_view strText);
