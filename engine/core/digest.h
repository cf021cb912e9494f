#pragma once
// Digests of data, computed incrementally over the platform's library
// (libcrypto on POSIX, CNG on Windows): MD5 (RFC 1321) and SHA-256 (FIPS
// 180-4). CDigest is the port, of a kind chosen at run time; CMd5 and
// CSha256 are the same with the kind and the digest's size fixed.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

enum class EDigestKind { Md5, Sha256 };

constexpr size_t MAX_DIGEST_SIZE = 32;

// 16 bytes for MD5, 32 for SHA-256.
constexpr size_t DigestSize(EDigestKind eKind)
{
    return eKind == EDigestKind::Md5 ? 16 : 32;
}
// "MD5", "SHA-256".
const char* DigestName(EDigestKind eKind);

// A digest of either kind. The bytes past the kind's size are zero, so
// two values are equal exactly when kind and digest are.
struct T_DIGEST_VALUE {
    EDigestKind eKind = EDigestKind::Md5;
    std::array<uint8_t, MAX_DIGEST_SIZE> bytes{};

    std::span<const uint8_t> Bytes() const { return {bytes.data(), DigestSize(eKind)}; }
    bool operator==(const T_DIGEST_VALUE&) const = default;
};

// Lower-case hexadecimal digits, "%02x" per byte in digest order.
std::string DigestText(std::span<const uint8_t> digest);
inline std::string DigestText(const T_DIGEST_VALUE& digest)
{
    return DigestText(digest.Bytes());
}

class CDigest {
public:
    explicit CDigest(EDigestKind eKind);  // ready for the first Update
    ~CDigest();
    CDigest(const CDigest&) = delete;
    CDigest& operator=(const CDigest&) = delete;

    EDigestKind Kind() const { return m_eKind; }
    // False when the platform refused any call since the last Init (a
    // libcrypto configured without the algorithm): the digest of Final is
    // then worthless.
    bool IsValid() const;
    void Init();
    void Update(const void* pData, size_t nSize);
    // The digest of everything since Init (all zero when not IsValid);
    // the next digest starts at once.
    T_DIGEST_VALUE Final();

private:
    struct TImpl;
    EDigestKind m_eKind;
    std::unique_ptr<TImpl> m_pImpl;
};

// A digest of one kind, its value a byte array of the kind's size.
template <EDigestKind KIND>
class CFixedDigest {
public:
    using T_BYTES = std::array<uint8_t, DigestSize(KIND)>;

    bool IsValid() const { return m_digest.IsValid(); }
    void Init() { m_digest.Init(); }
    void Update(const void* pData, size_t nSize) { m_digest.Update(pData, nSize); }
    T_BYTES Final()
    {
        const T_DIGEST_VALUE value = m_digest.Final();
        T_BYTES digest{};
        std::copy_n(value.bytes.begin(), digest.size(), digest.begin());
        return digest;
    }

private:
    CDigest m_digest{KIND};
};

using CMd5 = CFixedDigest<EDigestKind::Md5>;
using T_MD5_DIGEST = CMd5::T_BYTES;
using CSha256 = CFixedDigest<EDigestKind::Sha256>;
using T_SHA256_DIGEST = CSha256::T_BYTES;
