#pragma once
// A device port in front of another that also computes digests of the file
// it opens, from the bytes read out of it in order from offset 0: a
// compressed image's own digest comes in the same pass that inflates it,
// and a raw image's while it is read. Bytes read again (a retry, a look at
// the header) or ahead of the digested part (a look at the tail) are passed
// over; a read that reaches past the digested part adds what is new. One
// file is opened through it at a time, and its reads run on one thread at
// a time.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/digest.h"
#include "engine/device/device.h"

class CFileDigestDevices : public IDeviceProvider {
public:
    // One digest per kind given.
    CFileDigestDevices(IDeviceProvider& devices, const std::vector<EDigestKind>& arrKinds);

    // Each open starts the digests over.
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override;
    bool RemoveFile(const std::string& strPath, uint32_t& nError) override
    {
        return m_devices.RemoveFile(strPath, nError);
    }

    // The digest of kind eKind of the file's first nFileSize bytes; false
    // when that kind was not asked for, when those bytes were not all read,
    // or when more were. Asked once the file is closed.
    bool Digest(EDigestKind eKind, uint64_t nFileSize, T_DIGEST_VALUE& digest);

private:
    class CDevice;  // an opened file: its reads go through Take
    void Take(uint64_t nOffset, const void* pData, uint32_t nCount);

    IDeviceProvider& m_devices;
    std::vector<std::unique_ptr<CDigest>> m_digests;
    uint64_t m_nDigested = 0;  // bytes in the digests: the offset of the first byte not yet taken
};
