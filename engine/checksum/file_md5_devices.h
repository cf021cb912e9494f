#pragma once
// A device port in front of another that also computes the MD5 digest of
// the file it opens, from the bytes read out of it in order from offset 0:
// the checksum task learns the digest of a compressed image's own bytes in
// the same pass that inflates it. One file is opened through it at a time,
// and its reads run on one thread at a time.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/md5.h"
#include "engine/device/device.h"

class CFileMd5Devices : public IDeviceProvider {
public:
    explicit CFileMd5Devices(IDeviceProvider& devices) : m_devices(devices) {}

    // Each open starts the digest over.
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override;
    bool RemoveFile(const std::string& strPath, uint32_t& nError) override
    {
        return m_devices.RemoveFile(strPath, nError);
    }

    // The digest of the file's first nFileSize bytes; false when they were
    // not all read in order, or when more were read. Asked once the file is
    // closed.
    bool Digest(uint64_t nFileSize, T_MD5_DIGEST& digest);

private:
    class CDevice;  // an opened file: its reads go through Take
    void Take(uint64_t nOffset, const void* pData, uint32_t nCount);

    IDeviceProvider& m_devices;
    CMd5 m_md5;
    uint64_t m_nDigested = 0;  // bytes in the digest: the offset the next read must start at
    bool m_bInOrder = true;
};
