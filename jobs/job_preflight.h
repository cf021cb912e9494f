#pragma once
// The pre-flight: every check a job passes before anything is locked,
// unmounted or written, one rule set for both front ends and the job
// runner. The command line runs it before its question, the window before
// its confirmation, and the job runner again before it locks the first
// volume (for a job that came another way, and for anything that changed
// while the question waited). It opens what the job will use, through
// handles that claim nothing, and decides from what was opened, never from
// names: where the data of each drive and of the image live.
//
// What it refuses, by job kind:
//   - read: an image in a format this program does not write (xz, bzip2,
//     zip; then nothing is opened); an image path that holds something
//     other than a regular file, or the drive itself (then nothing else is
//     looked at); a gzip image without a zlib library, a zstd one without
//     a libzstd that compresses; an image stored on the drive read; a
//     drive of the running system whose volumes the job would unmount;
//   - write and verify: a write's digest file (--check) that is missing,
//     cannot be read or holds no digest for the image, and a compressed
//     image without its library (zlib, liblzma, libzstd, libbz2; then
//     nothing else is opened); an image that does not open as a regular
//     file of known size, or whose first bytes are not those of its format;
//     drives that do not open as disks (or files) of known size, and drives
//     to be written that do not open for writing while their volumes stay
//     mounted; a drive given twice; two drives written
//     that share their storage; the image as a drive, on a drive written,
//     or on a file system the job unmounts; a drive of the running system
//     written, or unmounted; a raw image whose size differs from a drive
//     written, unless forced or all it holds past drives of one size is
//     zero;
//   - erase: the drives' rules of a write.
// Every problem found is reported, not only the first. A raw image that
// starts as a compressed format does is not refused, but warned about.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/codecs/image_format.h"
#include "engine/core/digest.h"
#include "jobs/job_runner_param.h"

struct T_PREFLIGHT_REFUSAL {
    std::string strText;  // the log line (a read's image: what, then why), ending in a line feed
    int nSlot = -1;       // the slot (window row) of the drive it concerns; -1: the image or the job
};

struct T_PREFLIGHT_RESULT {
    std::vector<T_PREFLIGHT_REFUSAL> arrRefusals;
    std::vector<std::string> arrWarnings;  // log lines, each ending in a line feed
    // Per drive of the job in slot order: its size in bytes, 0 when it was
    // not measured (a read's drive is measured by its engine).
    std::vector<uint64_t> arrDriveSizes;
    bool bImageExists = false;  // a read's image path holds a file already: the read asks before replacing it
    bool bStopped = false;      // the stop flag ended the pre-flight before its end
    T_DIGEST_VALUE checkDigest;  // a write with a digest file: the digest it holds for the image
    bool Passed() const { return arrRefusals.empty() && !bStopped; }
};

// Runs every rule of the job's kind over what the description names: its
// drive slots (through its inventory, with the volumes the job would
// unlock), its image, its options, the running system's places and the
// wording of its front end. Nothing is written, locked or unmounted. pStop
// ends a long read of the image's tail early.
T_PREFLIGHT_RESULT PreflightJob(const T_DUMPTASK_PARAM& param, const std::atomic<bool>* pStop = nullptr);

// Logs each warning on its warning line, then each refusal on its error
// line; true when the job may start.
bool LogRefusals(const T_PREFLIGHT_RESULT& result);

// Whether a zlib library can be bound for compressed images.
bool ZlibLibraryFound();

// Sets the format of the job's image (bCompressImage for gzip,
// eImageFormat) as eAsk asks: a read's from the new image's name alone
// (FormatAsked), a write's or a verify's from the image's name and first
// bytes (DecideImageFormat, engine/codecs/format_decision.h); what those
// bytes say against it, and a format a read does not write, are the
// pre-flight's to report. An erase's description is left as it is.
void DecideJobImageFormat(T_DUMPTASK_PARAM& param, EFormatAsk eAsk);
// The format of the job's image as the description holds it.
EImageFormat JobImageFormat(const T_DUMPTASK_PARAM& param);

// Paths are UTF-8 inside; a path object made from a plain string would read
// it in the system's narrow code page on Windows.
std::filesystem::path PathOf(const std::string& strUtf8);
// Two paths of one file or device: the same file (links included), or the
// same place once links are resolved (the library does not compare two
// device nodes). False when either does not exist.
bool IsSameObject(const std::string& strFirst, const std::string& strSecond);
