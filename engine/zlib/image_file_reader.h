#pragma once
// The image-file reading that every engine taking an image in shares: the
// file is read once, strictly in order from offset 0, block by block; a
// raw image with up to 11 tries per block, a gzip one inflated on a thread
// of its own while another reads the file ahead (CInflatePipeline), or
// through CZLIBIO on the caller's thread when those threads cannot be had;
// an xz, zstd or bzip2 one through its decoder (engine/codecs) on the
// caller's thread. The reader logs its own warnings and its give-up line;
// the caller decides what a give-up means for the job.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/codecs/image_decoder.h"
#include "engine/codecs/image_format.h"
#include "engine/device/device.h"
#include "engine/zlib/inflate_pipeline.h"
#include "engine/zlib/zlib_io.h"

// What an image holds behind a given length: how many bytes of data, and
// whether all of them are zero (an image of a larger drive whose end was
// never used loses nothing when that end does not fit).
struct T_IMAGE_TAIL {
    uint64_t nBytes = 0;
    bool bAllZero = true;
};

class CImageFileReader {
public:
    CImageFileReader() = default;
    virtual ~CImageFileReader();
    CImageFileReader(const CImageFileReader&) = delete;
    CImageFileReader& operator=(const CImageFileReader&) = delete;

    // Opens the image for reading in eFormat. False with the cause logged
    // ("can't open file %s.\n%s\n") when it cannot be opened or is not a
    // regular file. A compressed stream that cannot start (no library, no
    // memory) fails on the first block instead.
    bool Open(IDeviceProvider& devices, const std::string& strPath, EImageFormat eFormat);
    // The file's size in bytes (the compressed size for a compressed
    // image); false with "GetFileSizeEx() failed.\n%s\n" logged.
    bool GetFileSize(uint64_t& nSize);

    // Fills pBlock with the next nLength bytes of image data. nGot is less
    // than nLength only at the end of the data, and 0 after it. False when
    // the reader gave up (the cause logged: "file read retry out.\n" after
    // 11 failed reads of a raw block, or "file compress read error ..." with
    // the reason on the next line) or bAbort was set while it retried
    // (nothing logged).
    bool ReadBlock(uint8_t* pBlock, uint32_t nLength, uint32_t& nGot, const std::atomic<bool>& bAbort);

    // Reads what the image holds from offset nFrom to its end. A compressed
    // image is decoded on from Position() (bytes before nFrom are passed
    // over) to the end of its data, so its end is checked as by ReadBlock
    // (a gzip member's CRC-32 and length, the check values of the other
    // formats, and nothing after the last stream); a long way to go is
    // announced in the log. A raw image is read from
    // nFrom only up to its first byte that is not zero, and the next
    // ReadBlock still starts where it did. False when the reader gave up
    // (logged as by ReadBlock) or bAbort was set.
    bool ReadTail(uint64_t nFrom, T_IMAGE_TAIL& tail, const std::atomic<bool>& bAbort);

    // Bytes of image data delivered so far: the next block's offset.
    uint64_t Position() const { return m_nPosition; }
    // Bytes of the file taken in so far: Position() for a raw image, the
    // compressed bytes read for a compressed one (a progress figure that
    // follows the file).
    uint64_t FileBytes() const;
    // The system error code of the last failed read (an I/O error code for
    // damaged compressed data), 0 when none failed.
    uint32_t LastError() const { return m_dwError; }
    // Ends the stream and closes the file; the destructor does it too.
    void Close();

private:
    bool ReadRaw(uint64_t nPos, uint8_t* pBlock, uint32_t nLength, uint32_t& nGot, const std::atomic<bool>& bAbort);
    bool ReadCompressed(uint8_t* pBlock, uint32_t nLength, uint32_t& nGot);
    bool ReadDecoded(uint8_t* pBlock, uint32_t nLength, uint32_t& nGot);
    void LogReadFailure(uint32_t nLength, const std::string& strReason);
    bool ScanRawTail(uint64_t nFrom, std::vector<uint8_t>& buffer, T_IMAGE_TAIL& tail,
                     const std::atomic<bool>& bAbort);
    bool InflateTail(uint64_t nFrom, std::vector<uint8_t>& buffer, T_IMAGE_TAIL& tail,
                     const std::atomic<bool>& bAbort);

    std::unique_ptr<IDevice> m_hImage;
    std::string m_strPath;
    EImageFormat m_eFormat = EImageFormat::Raw;
    uint64_t m_nPosition = 0;
    uint32_t m_dwError = 0;
    CZLIBIO m_zlib;
    CInflatePipeline m_inflate;
    bool m_bPipelined = false;  // a gzip image comes through m_inflate
    std::unique_ptr<IImageDecoder> m_pDecoder;  // an image of the other compressed formats
    T_DECODE_RESULT m_startFailure;             // why m_pDecoder could not be had
    uint64_t m_nDecodedFileBytes = 0;           // m_pDecoder's file bytes, kept when it is gone
};
