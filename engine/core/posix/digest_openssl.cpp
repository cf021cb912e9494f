// The digests over OpenSSL's libcrypto (EVP). libcrypto may refuse an
// algorithm (a configuration that loads only restricted providers): every
// call's result is kept, and a refused call makes the digest invalid until
// the next Init.
#include <openssl/evp.h>

#include "engine/core/digest.h"

struct CDigest::TImpl {
    const EVP_MD* pAlgorithm = nullptr;
    EVP_MD_CTX* pContext = EVP_MD_CTX_new();
    bool bFailed = false;
    ~TImpl() { EVP_MD_CTX_free(pContext); }
};

CDigest::CDigest(EDigestKind eKind) : m_eKind(eKind), m_pImpl(std::make_unique<TImpl>())
{
    m_pImpl->pAlgorithm = eKind == EDigestKind::Md5 ? EVP_md5() : EVP_sha256();
    Init();
}

CDigest::~CDigest() = default;

bool CDigest::IsValid() const
{
    return !m_pImpl->bFailed;
}

void CDigest::Init()
{
    m_pImpl->bFailed = !m_pImpl->pContext || !m_pImpl->pAlgorithm ||
                       EVP_DigestInit_ex(m_pImpl->pContext, m_pImpl->pAlgorithm, nullptr) != 1;
}

void CDigest::Update(const void* pData, size_t nSize)
{
    if (m_pImpl->bFailed || nSize == 0) return;
    if (EVP_DigestUpdate(m_pImpl->pContext, pData, nSize) != 1) m_pImpl->bFailed = true;
}

T_DIGEST_VALUE CDigest::Final()
{
    T_DIGEST_VALUE digest;
    digest.eKind = m_eKind;
    if (m_pImpl->bFailed) return digest;
    unsigned int nLength = 0;
    if (EVP_DigestFinal_ex(m_pImpl->pContext, digest.bytes.data(), &nLength) != 1 ||
        nLength != DigestSize(m_eKind)) {
        m_pImpl->bFailed = true;
        digest.bytes.fill(0);
        return digest;
    }
    Init();
    return digest;
}
