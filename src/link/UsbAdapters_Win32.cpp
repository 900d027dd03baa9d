// The adapters as Windows's device tree shows them: every present device
// the USB enumerator made, its hardware id (USB\VID_1A86&PID_7523&REV_0264),
// its problem code (28: no driver installed, the yellow mark in Device
// Manager), its service, and the COM port below it: the node itself, or a
// node under it (a composite adapter's interface, an FTDI bus's port), whose
// device key has a PortName.
#include "UsbAdapters.h"

#include <cwchar>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

#include "TextCodec.h"
#include "Win32Names.h"

#include <cfgmgr32.h>
#include <setupapi.h>

namespace {

struct CDevInfoCloser {
    void operator()(void* hSet) const { ::SetupDiDestroyDeviceInfoList(hSet); }
};
using CDevInfoSet = std::unique_ptr<void, CDevInfoCloser>;

struct CKeyCloser {
    void operator()(HKEY hKey) const { ::RegCloseKey(hKey); }
};
using CRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, CKeyCloser>;

CDevInfoSet OwnSet(HDEVINFO hSet) { return CDevInfoSet(hSet == INVALID_HANDLE_VALUE ? nullptr : hSet); }

// A text property of a device; empty when it has none. A multi-string
// (the hardware ids) answers its first string.
std::wstring GetProperty(HDEVINFO hSet, SP_DEVINFO_DATA& AData, DWORD dwProperty)
{
    wchar_t wzBuf[512] = {};
    DWORD dwType = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(hSet, &AData, dwProperty, &dwType, reinterpret_cast<BYTE*>(wzBuf),
                                             sizeof wzBuf - 2 * sizeof(wchar_t), nullptr) ||
        (dwType != REG_SZ && dwType != REG_MULTI_SZ))
        return {};
    return wzBuf;
}

// The hex number after szKey ("VID_") in a hardware id.
std::optional<std::uint16_t> ReadIdAfter(std::wstring_view wzId, std::wstring_view wzKey)
{
    const std::size_t nAt = wzId.find(wzKey);
    unsigned uValue = 0;
    if (nAt == std::wstring_view::npos ||
        std::swscanf(std::wstring(wzId.substr(nAt + wzKey.size(), 4)).c_str(), L"%4x", &uValue) != 1)
        return std::nullopt;
    return static_cast<std::uint16_t>(uValue);
}

// The COM port a node's device key names, or "".
std::string ReadPortName(DEVINST hNode)
{
    wchar_t wzId[MAX_DEVICE_ID_LEN + 1] = {};
    if (::CM_Get_Device_IDW(hNode, wzId, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
        return {};
    const CDevInfoSet pSet = OwnSet(::SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA AData{};
    AData.cbSize = sizeof AData;
    if (!pSet || !::SetupDiOpenDeviceInfoW(pSet.get(), wzId, nullptr, 0, &AData))
        return {};
    const HKEY hKey = ::SetupDiOpenDevRegKey(pSet.get(), &AData, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (hKey == nullptr || hKey == INVALID_HANDLE_VALUE)
        return {};
    const CRegKey pKey(hKey);
    wchar_t wzPort[64] = {};
    DWORD dwSize = sizeof wzPort - sizeof(wchar_t);
    DWORD dwType = 0;
    if (::RegQueryValueExW(pKey.get(), L"PortName", nullptr, &dwType, reinterpret_cast<BYTE*>(wzPort), &dwSize) !=
            ERROR_SUCCESS ||
        dwType != REG_SZ)
        return {};
    return WideToUtf8(wzPort);
}

// The COM ports of a node and of the nodes below it, a few levels down.
void AddPorts(DEVINST hNode, int nDepth, std::vector<std::string>& Ports)
{
    if (std::string strPort = ReadPortName(hNode); !strPort.empty())
        Ports.push_back(std::move(strPort));
    if (nDepth == 0)
        return;
    DEVINST hChild = 0;
    for (CONFIGRET eResult = ::CM_Get_Child(&hChild, hNode, 0); eResult == CR_SUCCESS;
         eResult = ::CM_Get_Sibling(&hChild, hChild, 0))
        AddPorts(hChild, nDepth - 1, Ports);
}

bool IsUserSpaceService(std::wstring_view wzService)
{
    for (const std::wstring_view wzName : {L"WinUSB", L"libusb0", L"libusbK"})
        if (wzService.size() == wzName.size() && ::_wcsnicmp(wzService.data(), wzName.data(), wzName.size()) == 0)
            return true;
    return false;
}

} // namespace

std::vector<CUsbAdapter> ReadUsbAdapters()
{
    std::vector<CUsbAdapter> Adapters;
    const CDevInfoSet pSet = OwnSet(::SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT));
    if (!pSet)
        return Adapters;
    SP_DEVINFO_DATA AData{};
    AData.cbSize = sizeof AData;
    for (DWORD dwIndex = 0; ::SetupDiEnumDeviceInfo(pSet.get(), dwIndex, &AData); ++dwIndex) {
        const std::wstring strId = GetProperty(pSet.get(), AData, SPDRP_HARDWAREID);
        // A composite adapter's interfaces (&MI_00) are its parent's.
        const std::optional<std::uint16_t> Vendor = ReadIdAfter(strId, L"VID_");
        const std::optional<std::uint16_t> Product = ReadIdAfter(strId, L"PID_");
        if (!Vendor || !Product || strId.find(L"&MI_") != std::wstring::npos ||
            FindUsbAdapterModel(*Vendor, *Product) == nullptr)
            continue;
        CUsbAdapter AAdapter;
        AAdapter.wVendor = *Vendor;
        AAdapter.wProduct = *Product;
        AAdapter.strManufacturer = WideToUtf8(GetProperty(pSet.get(), AData, SPDRP_MFG));
        AAdapter.strProduct = WideToUtf8(GetProperty(pSet.get(), AData, SPDRP_DEVICEDESC));
        const std::wstring strService = GetProperty(pSet.get(), AData, SPDRP_SERVICE);
        AAdapter.strDriver = WideToUtf8(strService);
        AAdapter.bUserSpace = IsUserSpaceService(strService);
        ULONG ulStatus = 0;
        ULONG ulProblem = 0;
        if (::CM_Get_DevNode_Status(&ulStatus, &ulProblem, AData.DevInst, 0) == CR_SUCCESS &&
            (ulStatus & DN_HAS_PROBLEM) != 0)
            AAdapter.dwProblem = ulProblem;
        AddPorts(AData.DevInst, 2, AAdapter.Ports);
        Adapters.push_back(std::move(AAdapter));
    }
    return Adapters;
}

EHostSystem GetHostSystem() { return EHostSystem::Windows; }
