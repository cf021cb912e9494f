// MD5 over OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "engine/core/md5.h"

struct CMd5::TImpl {
    EVP_MD_CTX* pContext = EVP_MD_CTX_new();
    ~TImpl() { EVP_MD_CTX_free(pContext); }
};

CMd5::CMd5() : m_pImpl(std::make_unique<TImpl>())
{
    Init();
}

CMd5::~CMd5() = default;

bool CMd5::IsValid() const
{
    return m_pImpl->pContext != nullptr;
}

void CMd5::Init()
{
    if (m_pImpl->pContext) EVP_DigestInit_ex(m_pImpl->pContext, EVP_md5(), nullptr);
}

void CMd5::Update(const void* pData, size_t nSize)
{
    if (m_pImpl->pContext && nSize > 0) EVP_DigestUpdate(m_pImpl->pContext, pData, nSize);
}

T_MD5_DIGEST CMd5::Final()
{
    T_MD5_DIGEST digest{};
    unsigned int nLength = 0;
    if (m_pImpl->pContext) EVP_DigestFinal_ex(m_pImpl->pContext, digest.data(), &nLength);
    return digest;
}
