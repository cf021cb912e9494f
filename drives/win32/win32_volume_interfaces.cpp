// The volume interfaces of the setup interface: each interface's device
// path, the volume it leads to, its device instance with the physical
// device object's name and the instance ids of the device and its parent.
#include <windows.h>
// The setup headers need windows.h first.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <vector>

#include "drives/win32/win32_volume_scanner.h"
#include "engine/core/win32/text_win32.h"

namespace {

// GUID_DEVINTERFACE_VOLUME.
const GUID VOLUME_INTERFACE = {0x53F5630D, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
constexpr DWORD VOLUME_GUID_PATH_CHARS = 261;

std::string DeviceId(DEVINST dnDevInst)
{
    ULONG nLength = 0;
    if (::CM_Get_Device_ID_Size(&nLength, dnDevInst, 0) != CR_SUCCESS) return std::string();
    std::vector<wchar_t> id(nLength + 1, L'\0');
    if (::CM_Get_Device_IDW(dnDevInst, id.data(), nLength + 1, 0) != CR_SUCCESS) return std::string();
    return WideToUtf8(id.data());
}

std::string PdoName(HDEVINFO hInfo, SP_DEVINFO_DATA& device)
{
    DWORD nBytes = 0;
    ::SetupDiGetDeviceRegistryPropertyW(hInfo, &device, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME, nullptr, nullptr, 0,
                                        &nBytes);
    if (nBytes == 0) return std::string();
    std::vector<wchar_t> name(nBytes / sizeof(wchar_t) + 1, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(hInfo, &device, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME, nullptr,
                                             reinterpret_cast<BYTE*>(name.data()), nBytes, nullptr)) {
        return std::string();
    }
    return WideToUtf8(name.data());
}

// The interface's device path and its device; false when the detail cannot be had.
bool InterfaceDetail(HDEVINFO hInfo, SP_DEVICE_INTERFACE_DATA& data, std::wstring& strPath, SP_DEVINFO_DATA& device)
{
    DWORD nBytes = 0;
    ::SetupDiGetDeviceInterfaceDetailW(hInfo, &data, nullptr, 0, &nBytes, nullptr);
    if (nBytes < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return false;
    std::vector<uint8_t> buffer(nBytes + sizeof(wchar_t), 0);
    auto* pDetail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    device = SP_DEVINFO_DATA{};
    device.cbSize = sizeof device;
    if (!::SetupDiGetDeviceInterfaceDetailW(hInfo, &data, pDetail, nBytes, nullptr, &device)) return false;
    strPath = pDetail->DevicePath;
    return true;
}

T_VOLUME_INTERFACE InterfaceOf(HDEVINFO hInfo, const std::wstring& strDevicePath, SP_DEVINFO_DATA& device)
{
    T_VOLUME_INTERFACE entry;
    const std::wstring strPath = strDevicePath + L"\\";
    entry.strInterfacePath = WideToUtf8(strPath);
    wchar_t volume[VOLUME_GUID_PATH_CHARS] = {};
    if (::GetVolumeNameForVolumeMountPointW(strPath.c_str(), volume, VOLUME_GUID_PATH_CHARS)) {
        volume[VOLUME_GUID_PATH_CHARS - 1] = L'\0';
        entry.strVolumeName = WideToUtf8(volume);
    }
    entry.dnDevInst = device.DevInst;
    entry.strPdoName = PdoName(hInfo, device);
    entry.strDeviceId = DeviceId(device.DevInst);
    DEVINST dnParent = 0;
    if (::CM_Get_Parent(&dnParent, device.DevInst, 0) == CR_SUCCESS) {
        entry.bParent = true;
        entry.dnParent = dnParent;
        entry.strParentId = DeviceId(dnParent);
    }
    return entry;
}

}  // namespace

bool CWin32VolumeScanner::ListVolumeInterfaces(std::vector<T_VOLUME_INTERFACE>& arrInterfaces)
{
    arrInterfaces.clear();
    HDEVINFO hInfo = ::SetupDiGetClassDevsW(&VOLUME_INTERFACE, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hInfo == INVALID_HANDLE_VALUE) return false;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; ::SetupDiEnumDeviceInterfaces(hInfo, nullptr, &VOLUME_INTERFACE, i, &data); ++i) {
        std::wstring strPath;
        SP_DEVINFO_DATA device{};
        if (InterfaceDetail(hInfo, data, strPath, device)) arrInterfaces.push_back(InterfaceOf(hInfo, strPath, device));
    }
    ::SetupDiDestroyDeviceInfoList(hInfo);
    return true;
}
