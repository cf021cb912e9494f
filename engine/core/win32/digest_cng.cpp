// The digests over the system's CNG (bcrypt). The hash object's memory is
// ours and is allocated once per CDigest, so Update never allocates.
#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "engine/core/digest.h"

namespace {

bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

BCRYPT_ALG_HANDLE OpenProvider(LPCWSTR pszAlgorithm)
{
    BCRYPT_ALG_HANDLE h = nullptr;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&h, pszAlgorithm, nullptr, 0))) h = nullptr;
    return h;
}

// One algorithm provider per kind for the whole process; CNG lets any
// number of threads create hashes from it.
BCRYPT_ALG_HANDLE Provider(EDigestKind eKind)
{
    static const BCRYPT_ALG_HANDLE hMd5 = OpenProvider(BCRYPT_MD5_ALGORITHM);
    static const BCRYPT_ALG_HANDLE hSha256 = OpenProvider(BCRYPT_SHA256_ALGORITHM);
    return eKind == EDigestKind::Md5 ? hMd5 : hSha256;
}

ULONG HashObjectLength(BCRYPT_ALG_HANDLE hProvider)
{
    DWORD nLength = 0;
    ULONG nResult = 0;
    if (!Succeeded(::BCryptGetProperty(hProvider, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&nLength),
                                       sizeof nLength, &nResult, 0)))
        return 0;
    return nLength;
}

}  // namespace

struct CDigest::TImpl {
    BCRYPT_ALG_HANDLE hProvider = nullptr;
    std::vector<UCHAR> object;
    BCRYPT_HASH_HANDLE hHash = nullptr;
    bool bFailed = false;  // a call failed since the last Init

    explicit TImpl(EDigestKind eKind) : hProvider(Provider(eKind))
    {
        if (hProvider) object.resize(HashObjectLength(hProvider));
    }
    ~TImpl() { Close(); }
    TImpl(const TImpl&) = delete;
    TImpl& operator=(const TImpl&) = delete;

    void Close()
    {
        if (hHash) ::BCryptDestroyHash(hHash);
        hHash = nullptr;
    }

    // A fresh hash in our own object memory.
    void Restart()
    {
        Close();
        if (!hProvider || object.empty()) return;
        if (!Succeeded(::BCryptCreateHash(hProvider, &hHash, object.data(), static_cast<ULONG>(object.size()),
                                          nullptr, 0, 0)))
            hHash = nullptr;
    }
};

CDigest::CDigest(EDigestKind eKind) : m_eKind(eKind), m_pImpl(std::make_unique<TImpl>(eKind))
{
    Init();
}

CDigest::~CDigest() = default;

bool CDigest::IsValid() const
{
    return !m_pImpl->bFailed;
}

void CDigest::Init()
{
    m_pImpl->Restart();
    m_pImpl->bFailed = m_pImpl->hHash == nullptr;
}

void CDigest::Update(const void* pData, size_t nSize)
{
    if (m_pImpl->bFailed) return;
    // BCryptHashData counts in ULONG; larger inputs go in slices.
    constexpr size_t MAX_SLICE = 0x40000000;
    auto* p = static_cast<UCHAR*>(const_cast<void*>(pData));
    while (nSize > 0) {
        const size_t nSlice = nSize < MAX_SLICE ? nSize : MAX_SLICE;
        if (!Succeeded(::BCryptHashData(m_pImpl->hHash, p, static_cast<ULONG>(nSlice), 0))) {
            m_pImpl->bFailed = true;
            return;
        }
        p += nSlice;
        nSize -= nSlice;
    }
}

T_DIGEST_VALUE CDigest::Final()
{
    T_DIGEST_VALUE digest;
    digest.eKind = m_eKind;
    if (m_pImpl->bFailed) return digest;
    if (!Succeeded(::BCryptFinishHash(m_pImpl->hHash, digest.bytes.data(), static_cast<ULONG>(DigestSize(m_eKind)),
                                      0))) {
        m_pImpl->bFailed = true;
        digest.bytes.fill(0);
        return digest;
    }
    // A finished CNG hash takes no more data; start the next digest now.
    m_pImpl->Restart();
    return digest;
}
