#pragma once
// The compressed image a read writes, whatever its format: one stream of
// the drive's bytes (one gzip member, one zstd frame) written strictly in
// order from offset 0 of a file opened through the device port, by one
// thread. Write takes the blocks in order; Commit ends the stream behind
// the last block taken, so that a stream cut short (a stop, a drive that
// failed) holds exactly the bytes it was given. A writer that never got a
// block has written nothing. Release ends the stream's threads and memory
// on every path; the destructor calls it too.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/device/device.h"

struct T_IMAGE_WRITE_RESULT {
    bool bOk = true;
    bool bNoRoom = false;  // a file write found the file system full
    uint32_t nError = 0;   // the system error code of a failed file write
    std::string strWhy;    // the failure as the second line of "file compress write error", ending in a line feed
};

class ICompressedImageWriter {
public:
    virtual ~ICompressedImageWriter() = default;
    // Compresses nCount bytes; compressed output is written as it is ready.
    virtual T_IMAGE_WRITE_RESULT Write(const void* pData, uint32_t nCount) = 0;
    // Ends the stream behind everything written so far.
    virtual T_IMAGE_WRITE_RESULT Commit() = 0;
    // After a write that found no room: ends the stream behind the last
    // piece that is wholly in the file, cutting the file there; the stream
    // then holds DataBytes(). False when the format or the room left allow
    // no such end: the file is then no usable image.
    virtual bool CommitWritten() = 0;
    virtual void Release() = 0;
    // Compressed bytes in the file.
    virtual uint64_t CompressedBytes() const = 0;
    // After CommitWritten: the bytes of data the stream holds.
    virtual uint64_t DataBytes() const = 0;
};

// How a zstd image is written: the level (1 to 19) and libzstd's worker
// threads (0: compressed on the writer's own thread).
struct T_ZSTD_WRITE_SETTINGS {
    int nLevel = 3;
    uint32_t nWorkers = 0;
};

// Opens the written image again for reading; null when it cannot be.
using PFN_OPEN_WRITTEN = std::function<std::unique_ptr<IDevice>()>;

// The zstd image writer over file, which must stay open while the writer
// lives: one frame with its content checksum. fnReopen lets a frame cut
// short by a full file system count what it holds. Null, with the reason
// in failure, when libzstd is absent, cannot compress or cannot start.
std::unique_ptr<ICompressedImageWriter> MakeZstdImageWriter(IDevice& file, const T_ZSTD_WRITE_SETTINGS& settings,
                                                            PFN_OPEN_WRITTEN fnReopen, T_IMAGE_WRITE_RESULT& failure);
