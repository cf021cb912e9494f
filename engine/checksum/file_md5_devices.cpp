// The digesting device port: every call passes through; reads are also fed
// to the digest while they come in order.
#include "engine/checksum/file_md5_devices.h"

class CFileMd5Devices::CDevice : public IDevice {
public:
    CDevice(std::unique_ptr<IDevice> pDevice, CFileMd5Devices& owner) : m_pDevice(std::move(pDevice)), m_owner(owner)
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
    CFileMd5Devices& m_owner;
};

std::unique_ptr<IDevice> CFileMd5Devices::Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError)
{
    std::unique_ptr<IDevice> pDevice = m_devices.Open(strPath, eMode, nError);
    if (!pDevice) return nullptr;
    m_md5.Init();
    m_nDigested = 0;
    m_bInOrder = true;
    return std::make_unique<CDevice>(std::move(pDevice), *this);
}

void CFileMd5Devices::Take(uint64_t nOffset, const void* pData, uint32_t nCount)
{
    if (nCount == 0) return;
    if (nOffset != m_nDigested) m_bInOrder = false;
    if (!m_bInOrder) return;
    m_md5.Update(pData, nCount);
    m_nDigested += nCount;
}

bool CFileMd5Devices::Digest(uint64_t nFileSize, T_MD5_DIGEST& digest)
{
    if (!m_bInOrder || m_nDigested != nFileSize || !m_md5.IsValid()) return false;
    digest = m_md5.Final();
    return true;
}
