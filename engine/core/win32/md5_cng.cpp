// MD5 over the system's CNG (bcrypt). The hash object's memory is ours and
// is allocated once per CMd5, so Update never allocates.
#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "engine/core/md5.h"

namespace {

bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

// One algorithm provider for the whole process; CNG lets any number of
// threads create hashes from it.
BCRYPT_ALG_HANDLE Md5Provider()
{
    static const BCRYPT_ALG_HANDLE hProvider = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        if (!Succeeded(::BCryptOpenAlgorithmProvider(&h, BCRYPT_MD5_ALGORITHM, nullptr, 0))) h = nullptr;
        return h;
    }();
    return hProvider;
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

struct CMd5::TImpl {
    std::vector<UCHAR> object;
    BCRYPT_HASH_HANDLE hHash = nullptr;
    bool bFailed = false;  // a call failed since the last Init

    TImpl()
    {
        if (BCRYPT_ALG_HANDLE hProvider = Md5Provider()) object.resize(HashObjectLength(hProvider));
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
        BCRYPT_ALG_HANDLE hProvider = Md5Provider();
        if (!hProvider || object.empty()) return;
        if (!Succeeded(::BCryptCreateHash(hProvider, &hHash, object.data(), static_cast<ULONG>(object.size()),
                                          nullptr, 0, 0)))
            hHash = nullptr;
    }
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
    m_pImpl->Restart();
    m_pImpl->bFailed = m_pImpl->hHash == nullptr;
}

void CMd5::Update(const void* pData, size_t nSize)
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

T_MD5_DIGEST CMd5::Final()
{
    T_MD5_DIGEST digest{};
    if (m_pImpl->bFailed) return digest;
    if (!Succeeded(::BCryptFinishHash(m_pImpl->hHash, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        m_pImpl->bFailed = true;
        digest.fill(0);
        return digest;
    }
    // A finished CNG hash takes no more data; start the next digest now.
    m_pImpl->Restart();
    return digest;
}
