// MD5 over OpenSSL's libcrypto. libcrypto may refuse MD5 (a configuration
// that loads only restricted providers): every call's result is kept, and
// a refused call makes the digest invalid until the next Init.
#include <openssl/evp.h>

#include "engine/core/md5.h"

struct CMd5::TImpl {
    EVP_MD_CTX* pContext = EVP_MD_CTX_new();
    bool bFailed = false;
    ~TImpl() { EVP_MD_CTX_free(pContext); }
};

CMd5::CMd5() : m_pImpl(std::make_unique<TImpl>())
{
    Init();
}

CMd5::~CMd5() = default;

bool CMd5::IsValid() const
{
    return !m_pImpl->bFailed;
}

void CMd5::Init()
{
    m_pImpl->bFailed = !m_pImpl->pContext || EVP_DigestInit_ex(m_pImpl->pContext, EVP_md5(), nullptr) != 1;
}

void CMd5::Update(const void* pData, size_t nSize)
{
    if (m_pImpl->bFailed || nSize == 0) return;
    if (EVP_DigestUpdate(m_pImpl->pContext, pData, nSize) != 1) m_pImpl->bFailed = true;
}

T_MD5_DIGEST CMd5::Final()
{
    T_MD5_DIGEST digest{};
    if (m_pImpl->bFailed) return digest;
    unsigned int nLength = 0;
    if (EVP_DigestFinal_ex(m_pImpl->pContext, digest.data(), &nLength) != 1 || nLength != digest.size()) {
        m_pImpl->bFailed = true;
        digest.fill(0);
    }
    return digest;
}
