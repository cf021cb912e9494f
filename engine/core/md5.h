#pragma once
// MD5 (RFC 1321), computed incrementally, over the platform's library.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

using T_MD5_DIGEST = std::array<uint8_t, 16>;

class CMd5 {
public:
    CMd5();  // ready for the first Update
    virtual ~CMd5();
    CMd5(const CMd5&) = delete;
    CMd5& operator=(const CMd5&) = delete;

    // False when the platform refused any call since the last Init: the
    // digest of Final is then worthless.
    bool IsValid() const;
    void Init();
    void Update(const void* pData, size_t nSize);
    T_MD5_DIGEST Final();

private:
    struct TImpl;
    std::unique_ptr<TImpl> m_pImpl;
};

// 32 lower-case hexadecimal digits, "%02x" per byte in digest order.
inline std::string Md5Text(const T_MD5_DIGEST& digest)
{
    static constexpr char HEX[] = "0123456789abcdef";
    std::string strText;
    for (const uint8_t b : digest) {
        strText += HEX[b >> 4];
        strText += HEX[b & 0x0F];
    }
    return strText;
}
