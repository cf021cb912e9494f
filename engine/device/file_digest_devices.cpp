// The digesting device port: every call passes through; reads are also fed
// to the digests as far as they extend the digested part.
#include "engine/device/file_digest_devices.h"

class CFileDigestDevices::CDevice : public IDevice {
public:
    CDevice(std::unique_ptr<IDevice> pDevice, CFileDigestDevices& owner) : m_pDevice(std::move(pDevice)), m_owner(owner)
    {
    }

    T_IO_RESULT ReadAt(uint64_t nOffset, void* pData, uint32_t nLength) override
    {
        const T_IO_RESULT io = m_pDevice->ReadAt(nOffset, pData, nLength);
        if (io.bOk) m_owner.Take(nOffset, pData, io.nCount);
        return io;
    }
    T_IO_RESULT WriteAt(uint64_t nOffset, const void* pData, uint32_t nLength) override
    {
        return m_pDevice->WriteAt(nOffset, pData, nLength);
    }
    bool GetLengthInfo(uint64_t& nLength, uint32_t& nError) override
    {
        return m_pDevice->GetLengthInfo(nLength, nError);
    }
    bool GetDriveGeometry(T_DISK_GEOMETRY& geometry, uint32_t& nError) override
    {
        return m_pDevice->GetDriveGeometry(geometry, nError);
    }
    bool Flush(uint32_t& nError) override { return m_pDevice->Flush(nError); }
    bool SetLength(uint64_t nLength, uint32_t& nError) override { return m_pDevice->SetLength(nLength, nError); }
    EDeviceKind GetKind() override { return m_pDevice->GetKind(); }
    T_STORAGE GetStorage() override { return m_pDevice->GetStorage(); }
    bool GetDeviceNumber(T_DEVICE_NUMBER& number, uint32_t& nError) override
    {
        return m_pDevice->GetDeviceNumber(number, nError);
    }
    bool GetVolumeDiskExtents(std::vector<T_DISK_EXTENT>& arrExtents, uint32_t& nError) override
    {
        return m_pDevice->GetVolumeDiskExtents(arrExtents, nError);
    }
    bool QueryStorageProperty(T_STORAGE_DESCRIPTOR& descriptor, uint32_t& nError) override
    {
        return m_pDevice->QueryStorageProperty(descriptor, nError);
    }
    bool LockVolume(uint32_t& nError) override { return m_pDevice->LockVolume(nError); }
    bool DismountVolume(uint32_t& nError) override { return m_pDevice->DismountVolume(nError); }
    bool UnlockVolume(uint32_t& nError) override { return m_pDevice->UnlockVolume(nError); }
    bool AllowMediaRemoval(uint32_t& nError) override { return m_pDevice->AllowMediaRemoval(nError); }
    bool EjectMedia(uint32_t& nError) override { return m_pDevice->EjectMedia(nError); }
    bool LoadMedia(uint32_t& nError) override { return m_pDevice->LoadMedia(nError); }

private:
    std::unique_ptr<IDevice> m_pDevice;
    CFileDigestDevices& m_owner;
};

CFileDigestDevices::CFileDigestDevices(IDeviceProvider& devices, const std::vector<EDigestKind>& arrKinds)
    : m_devices(devices)
{
    for (const EDigestKind eKind : arrKinds) m_digests.push_back(std::make_unique<CDigest>(eKind));
}

std::unique_ptr<IDevice> CFileDigestDevices::Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError)
{
    std::unique_ptr<IDevice> pDevice = m_devices.Open(strPath, eMode, nError);
    if (!pDevice) return nullptr;
    for (const auto& pDigest : m_digests) pDigest->Init();
    m_nDigested = 0;
    return std::make_unique<CDevice>(std::move(pDevice), *this);
}

void CFileDigestDevices::Take(uint64_t nOffset, const void* pData, uint32_t nCount)
{
    if (nOffset > m_nDigested || nOffset + nCount <= m_nDigested) return;
    const uint64_t nSkip = m_nDigested - nOffset;
    for (const auto& pDigest : m_digests)
        pDigest->Update(static_cast<const uint8_t*>(pData) + nSkip, static_cast<size_t>(nCount - nSkip));
    m_nDigested = nOffset + nCount;
}

bool CFileDigestDevices::Digest(EDigestKind eKind, uint64_t nFileSize, T_DIGEST_VALUE& digest)
{
    for (const auto& pDigest : m_digests) {
        if (pDigest->Kind() != eKind) continue;
        if (m_nDigested != nFileSize || !pDigest->IsValid()) return false;
        digest = pDigest->Final();
        return pDigest->IsValid();
    }
    return false;
}
