#pragma once
// One compressed image stream (.gmz: exactly one gzip member of the drive's
// bytes) over the zlib library bound at run time. Every object holds a
// link to the process-wide binding for its lifetime and carries one stream
// at a time, written or read strictly sequentially from offset 0 of a file
// opened through the device port, by one thread. The image writer writes
// with it; the image-file readers and the checksum task read with it.
//
// Writing: InitWrite, WriteCompressFile for each block in order, CommitWrite
// once after the last block (or on the end-of-data item), Release. A run
// that never calls InitWrite leaves the file empty, which reads back as an
// image of 0 bytes; InitWrite then CommitWrite with no data in between
// writes a complete member of 0 bytes.
//
// Reading: InitRead, ReadCompressFile for each block, Release. A file is
// accepted only as a whole: a truncated or corrupt stream, a stream that
// fails its CRC-32 or length check, and any byte after the end of the first
// gzip member (a second member, trailing garbage) are read failures, so a
// damaged image never passes for a shorter one. An empty file is an image
// of 0 bytes.
#include <cstdint>
#include <memory>

#include "engine/device/device.h"

struct z_stream_s;
struct T_ZLIB_ENTRY_POINTS;

class CZLIBIO {
public:
    // The outcome of a stream step. nZlibResult is zlib's result of the
    // failing call: Z_ERRNO when the file read or write failed (nError then
    // holds the system error code), Z_VERSION_ERROR when no zlib library is
    // bound, Z_STREAM_ERROR for a step out of order or after a failure,
    // Z_MEM_ERROR when the buffer cannot be had, NEXT_MEMBER when a second
    // gzip member follows the first; Z_OK on success.
    struct T_RESULT {
        bool bOk = false;
        int nZlibResult = 0;
        uint32_t nError = 0;
    };

    // Not a zlib result: the image is valid gzip of more than one member,
    // which no image is (they are always one member).
    static constexpr int NEXT_MEMBER = -100;

    // The compressed-output (writing) or compressed-input (reading) buffer.
    static constexpr uint32_t BUFFER_SIZE = 0x100000;

    CZLIBIO();
    virtual ~CZLIBIO();
    CZLIBIO(const CZLIBIO&) = delete;
    CZLIBIO& operator=(const CZLIBIO&) = delete;

    // This object holds a link to a loaded library: compression is on.
    bool IsLoaded() const { return m_pZlib != nullptr; }
    // The bound entry points, valid while this object lives; null when no
    // library is bound. For the streams that run on threads of their own.
    const T_ZLIB_ENTRY_POINTS* EntryPoints() const { return m_pZlib; }

    // Starts a gzip stream (level 6, windowBits 31, memLevel 8) into file,
    // which must stay open until Release. Ends any earlier stream first.
    T_RESULT InitWrite(IDevice& file);
    // Compresses one block; each time the output buffer is full it is
    // written whole at the running compressed offset. A short write goes on
    // with the rest; a write that fails or stores nothing is a failure.
    T_RESULT WriteCompressFile(const void* pData, uint32_t nCount);
    // Finishes the stream (Z_FINISH) and writes the rest of the output.
    T_RESULT CommitWrite();

    // Starts reading a gzip (or zlib) stream from offset 0 of file, which
    // must stay open until Release. Ends any earlier stream first.
    T_RESULT InitRead(IDevice& file);
    // Fills pBlock with the next nLength (> 0) bytes of the image; nProduced
    // is less than nLength only at the end of the image, and 0 after it. On
    // a failure nProduced tells how many bytes in front of it are good.
    T_RESULT ReadCompressFile(void* pBlock, uint32_t nLength, uint32_t& nProduced);

    // Ends the stream (deflateEnd or inflateEnd) and frees its buffer. Safe
    // on every path, also after a failure or when no stream was started;
    // the destructor calls it too.
    void Release();

    // Compressed bytes written to the file (writing) or read from it
    // (reading) by the last stream started; kept after Release.
    uint64_t CompressedBytes() const { return m_nFileBytes; }

private:
    enum class EStream { None, Deflate, Inflate };
    enum class EState { Idle, Open, Finished, Failed };

    bool Prepare(IDevice& file);
    T_RESULT Ok() const { return T_RESULT{true, 0, 0}; }
    T_RESULT Fail(int nZlibResult);
    T_RESULT FileFailure(uint32_t nError);
    T_RESULT WriteOutput(uint32_t nBytes);
    T_RESULT FillInput();
    T_RESULT CheckNothingFollows();
    bool NextMemberFollows();

    const T_ZLIB_ENTRY_POINTS* m_pZlib = nullptr;  // null: no link held
    std::unique_ptr<z_stream_s> m_pStream;
    int m_nFlush = 0;  // the flush mode of the next inflate call
    EStream m_eStream = EStream::None;
    EState m_eState = EState::Idle;
    std::unique_ptr<uint8_t[]> m_pBuffer;
    IDevice* m_pFile = nullptr;
    uint64_t m_nFileBytes = 0;
};
