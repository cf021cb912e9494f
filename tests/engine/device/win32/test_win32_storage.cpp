// The Win32 storage and volume requests: the device descriptor read from
// the bytes a drive returns, and the requests Wine answers on a volume.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "engine/device/win32/win32_storage_requests.h"
#include "tests/engine/test_helpers.h"

namespace {

// A descriptor as a drive returns it: the header, then the strings.
class CDescriptorBytes {
public:
    CDescriptorBytes() : m_bytes(sizeof(STORAGE_DEVICE_DESCRIPTOR), 0) {}
    // Appends a string (with its NUL unless bTerminated is false) and
    // returns its offset.
    DWORD Add(const std::string& strText, bool bTerminated = true)
    {
        const DWORD nOffset = static_cast<DWORD>(m_bytes.size());
        m_bytes.insert(m_bytes.end(), strText.begin(), strText.end());
        if (bTerminated) m_bytes.push_back(0);
        return nOffset;
    }
    STORAGE_DEVICE_DESCRIPTOR& Header() { return *reinterpret_cast<STORAGE_DEVICE_DESCRIPTOR*>(m_bytes.data()); }
    std::vector<uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

TEST(Win32StorageDescriptorTest, StringsAreTakenAtTheirOffsetsAndOffsetsThatPointNowhereGiveEmptyStrings)
{
    CDescriptorBytes d;
    d.Header().VendorIdOffset = d.Add("ATA     ");
    d.Header().ProductIdOffset = 0xFFFFFFFF;
    d.Header().ProductRevisionOffset = 0;  // none
    d.Header().SerialNumberOffset = d.Add("S3RIAL", false);  // the last string runs to the end of the bytes
    d.Header().RemovableMedia = TRUE;
    T_STORAGE_DESCRIPTOR descriptor{"old", "old", "old", "old", false};
    ASSERT_TRUE(ParseStorageDescriptor(d.Bytes().data(), d.Bytes().size(), descriptor));
    EXPECT_EQ(descriptor.strVendor + "|" + descriptor.strProduct + "|" + descriptor.strRevision + "|" +
                  descriptor.strSerial,
              "ATA     |||S3RIAL");
    EXPECT_TRUE(descriptor.bRemovableMedia);
    // A string cut off where the returned bytes end, an offset past them.
    const DWORD nVendor = d.Header().VendorIdOffset;
    d.Header().SerialNumberOffset = 100000;
    ASSERT_TRUE(ParseStorageDescriptor(d.Bytes().data(), nVendor + 3, descriptor));
    EXPECT_EQ(descriptor.strVendor + "|" + descriptor.strSerial, "ATA|");
    EXPECT_FALSE(ParseStorageDescriptor(d.Bytes().data(), 8, descriptor));  // not even the header
}

}  // namespace

namespace {

// Wine maps C: to a folder of its prefix; on a real Windows machine it is
// the system volume, which these tests leave alone.
bool RunsUnderWine()
{
    HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return hNtdll && ::GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

using Win32VolumeTest = PlatformDeviceTest;

// Wine answers the device number, extents and descriptor requests (with no
// extents, and a descriptor without strings) and the lock and unlock of a
// volume; it refuses the dismount and the medium requests with
// ERROR_NOT_SUPPORTED, so those are built but not run here.
TEST_F(Win32VolumeTest, AVolumeNamesItsDiskAndCanBeLockedAndUnlocked)
{
    if (!RunsUnderWine()) GTEST_SKIP() << "only under Wine, where C: is a folder";
    std::unique_ptr<IDevice> pVolume = Open("\\\\.\\C:", EOpenMode::Volume);
    ASSERT_NE(pVolume, nullptr) << m_nError;
    uint32_t nError = 0;
    T_DEVICE_NUMBER number;
    ASSERT_TRUE(pVolume->GetDeviceNumber(number, nError)) << nError;
    EXPECT_EQ(number.DeviceType, DEVICE_NUMBER_TYPE_DISK);
    EXPECT_GE(number.PartitionNumber, 0);
    std::vector<T_DISK_EXTENT> arrExtents{T_DISK_EXTENT{99, 1, 1}};
    ASSERT_TRUE(pVolume->GetVolumeDiskExtents(arrExtents, nError)) << nError;
    for (const T_DISK_EXTENT& extent : arrExtents) EXPECT_EQ(extent.DiskNumber, number.DeviceNumber);
    T_STORAGE_DESCRIPTOR descriptor{"old", "old", "old", "old", true};
    ASSERT_TRUE(pVolume->QueryStorageProperty(descriptor, nError)) << nError;
    EXPECT_EQ(descriptor.strVendor + descriptor.strProduct + descriptor.strRevision + descriptor.strSerial, "");

    ASSERT_TRUE(pVolume->LockVolume(nError)) << nError;
    EXPECT_TRUE(pVolume->UnlockVolume(nError)) << nError;
}

}  // namespace
