// A compressed image of more than 4 GiB written to a drive of that size:
// every count and offset of the write must be 64-bit, and nothing may
// depend on the gzip trailer's length, which keeps only the low 32 bits.
// Deflating 4 GiB would take a minute, so the image is built by hand: one
// deflate block of matches that repeat a 10-byte pattern, which zlib
// inflates quickly. The drive checks every write against the pattern
// instead of storing it.
#include <cstring>

#include "tests/engine/write/write_rig.h"

namespace engine_test {
namespace {

constexpr uint64_t IMAGE_SIZE = (uint64_t{4} << 30) + 3 * MIB + 123;
constexpr char PERIOD[] = "gravelmoor";  // 10 bytes: a block that lands 1 MiB off shows
constexpr uint64_t PERIOD_SIZE = sizeof PERIOD - 1;
const std::string BIG_DRIVE = "big:drive";

// CRC-32 (the gzip trailer's check value) of any byte string.
uint32_t Crc32(uint32_t nCrc, const void* pData, size_t nSize)
{
    nCrc = ~nCrc;
    for (size_t i = 0; i < nSize; ++i) {
        nCrc ^= static_cast<const uint8_t*>(pData)[i];
        for (int k = 0; k < 8; ++k) nCrc = nCrc & 1 ? (nCrc >> 1) ^ 0xEDB88320u : nCrc >> 1;
    }
    return ~nCrc;
}

// a x b modulo the CRC polynomial, in its reflected bit order.
uint32_t MultModP(uint32_t a, uint32_t b)
{
    uint32_t p = 0;
    for (uint32_t m = 1u << 31;; m >>= 1) {
        if (a & m) {
            p ^= b;
            if ((a & (m - 1)) == 0) break;
        }
        b = b & 1 ? (b >> 1) ^ 0xEDB88320u : b >> 1;
    }
    return p;
}

// The CRC-32 of A followed by B, from the CRCs of both and B's length:
// A's CRC is moved on by x^(8 x length of B).
uint32_t Crc32Combine(uint32_t nCrcA, uint32_t nCrcB, uint64_t nSizeB)
{
    uint32_t nPower = 1u << 31;      // x^0
    uint32_t nSquare = 1u << 30;     // x^1, squared for every bit of 8 x nSizeB
    for (uint64_t n = nSizeB * 8; n; n >>= 1) {
        if (n & 1) nPower = MultModP(nSquare, nPower);
        nSquare = MultModP(nSquare, nSquare);
    }
    return MultModP(nPower, nCrcA) ^ nCrcB;
}

// The CRC-32 of the pattern repeated over nSize bytes.
uint32_t PatternCrc(uint64_t nSize)
{
    uint32_t nCrc = 0;
    uint32_t nPiece = Crc32(0, PERIOD, PERIOD_SIZE);  // the CRC of 10 x 2^k bytes
    uint64_t nPieceSize = PERIOD_SIZE;
    for (uint64_t q = nSize / PERIOD_SIZE; q; q >>= 1) {
        if (q & 1) nCrc = Crc32Combine(nCrc, nPiece, nPieceSize);
        nPiece = Crc32Combine(nPiece, nPiece, nPieceSize);
        nPieceSize *= 2;
    }
    return Crc32(nCrc, PERIOD, static_cast<size_t>(nSize % PERIOD_SIZE));
}

// Deflate's bit stream: values least significant bit first, Huffman codes
// most significant bit first.
class CBitWriter {
public:
    void Bits(uint32_t nValue, int nCount)
    {
        m_nAcc |= uint64_t{nValue} << m_nBits;
        m_nBits += nCount;
        while (m_nBits >= 8) {
            m_out.push_back(static_cast<uint8_t>(m_nAcc));
            m_nAcc >>= 8;
            m_nBits -= 8;
        }
    }
    static uint32_t Reversed(uint32_t nCode, int nCount)
    {
        uint32_t r = 0;
        for (int i = 0; i < nCount; ++i) r |= ((nCode >> i) & 1) << (nCount - 1 - i);
        return r;
    }
    std::vector<uint8_t>& Finish()
    {
        if (m_nBits > 0) Bits(0, 8 - m_nBits);
        return m_out;
    }

private:
    std::vector<uint8_t> m_out;
    uint64_t m_nAcc = 0;
    int m_nBits = 0;
};

// One gzip member of the pattern over nSize bytes: a fixed-Huffman block
// of the first period as literals, then matches of 258 bytes at distance
// 10, the rest as literals.
std::vector<uint8_t> PatternImage(uint64_t nSize)
{
    CBitWriter bits;
    for (uint8_t b : {0x1F, 0x8B, 0x08, 0x00, 0, 0, 0, 0, 0x00, 0x03}) bits.Bits(b, 8);
    bits.Bits(0b011, 3);  // the last block, fixed Huffman codes
    auto literal = [&](uint64_t nPos) { bits.Bits(CBitWriter::Reversed(0x30 + PERIOD[nPos % PERIOD_SIZE], 8), 8); };
    // Length 258 (code 285: 11000101), distance code 6 (00110) with 2 extra bits of 1: distance 10.
    const uint32_t nMatch = CBitWriter::Reversed(0xC5, 8) | CBitWriter::Reversed(6, 5) << 8 | 1u << 13;
    uint64_t nPos = 0;
    for (; nPos < std::min(nSize, PERIOD_SIZE); ++nPos) literal(nPos);
    for (; nSize - nPos >= 258; nPos += 258) bits.Bits(nMatch, 15);
    for (; nPos < nSize; ++nPos) literal(nPos);
    bits.Bits(0, 7);  // end of block
    std::vector<uint8_t>& image = bits.Finish();
    const uint32_t nTrailer[] = {PatternCrc(nSize), static_cast<uint32_t>(nSize)};
    for (uint32_t n : nTrailer) {
        for (int i = 0; i < 4; ++i) image.push_back(static_cast<uint8_t>(n >> (8 * i)));
    }
    return image;
}

// What the drive of the test saw: bytes written in order, each as the
// pattern wants it, and writes that were not.
struct T_WRITE_CHECK {
    uint64_t nGood = 0;
    uint32_t nBadWrites = 0;
};

// A drive of IMAGE_SIZE bytes that stores nothing: every write is checked
// against the pattern at its offset.
class CPatternDrive : public IDevice {
public:
    explicit CPatternDrive(T_WRITE_CHECK& check) : m_check(check), m_reference(MIB + PERIOD_SIZE)
    {
        for (size_t i = 0; i < m_reference.size(); ++i) m_reference[i] = static_cast<uint8_t>(PERIOD[i % PERIOD_SIZE]);
    }
    T_IO_RESULT WriteAt(uint64_t nOffset, const void* pData, uint32_t nLength) override
    {
        const uint8_t* pExpected = m_reference.data() + nOffset % PERIOD_SIZE;
        if (nOffset + nLength > IMAGE_SIZE || nLength > MIB || std::memcmp(pData, pExpected, nLength) != 0) {
            ++m_check.nBadWrites;
        } else if (nOffset == m_check.nGood) {
            m_check.nGood += nLength;
        }
        return T_IO_RESULT{true, nLength, 0};
    }
    T_IO_RESULT ReadAt(uint64_t, void*, uint32_t) override { return T_IO_RESULT{false, 0, SystemError::IoError()}; }
    bool GetLengthInfo(uint64_t& nLength, uint32_t&) override
    {
        nLength = IMAGE_SIZE;
        return true;
    }
    bool GetDriveGeometry(T_DISK_GEOMETRY&, uint32_t& nError) override { return Unsupported(nError); }
    bool Flush(uint32_t&) override { return true; }
    bool SetLength(uint64_t, uint32_t& nError) override { return Unsupported(nError); }
    EDeviceKind GetKind() override { return EDeviceKind::BlockDevice; }
    T_STORAGE GetStorage() override { return T_STORAGE{{{reinterpret_cast<uintptr_t>(&m_check)}, {}}, {}}; }
    bool GetDeviceNumber(T_DEVICE_NUMBER&, uint32_t& nError) override { return Unsupported(nError); }
    bool GetVolumeDiskExtents(std::vector<T_DISK_EXTENT>&, uint32_t& nError) override { return Unsupported(nError); }
    bool QueryStorageProperty(T_STORAGE_DESCRIPTOR&, uint32_t& nError) override { return Unsupported(nError); }
    bool LockVolume(uint32_t& nError) override { return Unsupported(nError); }
    bool DismountVolume(uint32_t& nError) override { return Unsupported(nError); }
    bool UnlockVolume(uint32_t& nError) override { return Unsupported(nError); }
    bool AllowMediaRemoval(uint32_t& nError) override { return Unsupported(nError); }
    bool EjectMedia(uint32_t& nError) override { return Unsupported(nError); }
    bool LoadMedia(uint32_t& nError) override { return Unsupported(nError); }

private:
    static bool Unsupported(uint32_t& nError)
    {
        nError = SystemError::NotSupported();
        return false;
    }
    T_WRITE_CHECK& m_check;
    std::vector<uint8_t> m_reference;
};

// The pattern drive under its path; every other path goes to the fakes.
class CPatternDriveProvider : public IDeviceProvider {
public:
    CPatternDriveProvider(IDeviceProvider& others, T_WRITE_CHECK& check) : m_others(others), m_check(check) {}
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override
    {
        if (strPath != BIG_DRIVE) return m_others.Open(strPath, eMode, nError);
        return std::make_unique<CPatternDrive>(m_check);
    }
    bool RemoveFile(const std::string& strPath, uint32_t& nError) override
    {
        return m_others.RemoveFile(strPath, nError);
    }

private:
    IDeviceProvider& m_others;
    T_WRITE_CHECK& m_check;
};

bool UnderSanitizer()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#else
    return false;
#endif
}

// A long test (suite Long*): run once, natively (tests/CMakeLists.txt).
class LongWriteTest : public WriteTest {};

TEST_F(LongWriteTest, ACompressedImageOfMoreThan4GiBIsWrittenWhole)
{
    if (UnderSanitizer()) GTEST_SKIP() << "4 GiB through the pipeline is too slow under a sanitizer";
    m_options.bCompressImage = true;
    AddImage(PatternImage(IMAGE_SIZE));
    T_WRITE_CHECK check;
    CPatternDriveProvider devices(m_devices, check);
    T_ENGINE_JOB job = Job(1);
    job.wiring.pDevices = &devices;
    job.arrDrives[0].strPath = BIG_DRIVE;
    ASSERT_TRUE(CImageToDisk().Run(job).bOk);
    EXPECT_EQ(check.nBadWrites, 0u);
    EXPECT_EQ(check.nGood, IMAGE_SIZE);
    EXPECT_EQ(Count("big:drive - " + std::to_string(IMAGE_SIZE) + " bytes wrote.\n"), 1u);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
}

}  // namespace
}  // namespace engine_test
