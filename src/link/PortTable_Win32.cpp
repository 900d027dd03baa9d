// COM port numbers on Windows: COM n is "\\.\COMn" (the prefix lets numbers
// above 9 open); whether it exists is for CreateFileW to say. The ports the
// system has are the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM.
#include "PortTable.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "Win32Names.h"

std::string GetPortPath(unsigned nPort)
{
    if (nPort == 0 || nPort > 255)
        return {};
    return "\\\\.\\COM" + std::to_string(nPort);
}

std::vector<unsigned> ListPortNumbers()
{
    std::vector<unsigned> Numbers;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return Numbers;
    for (DWORD dwIndex = 0;; ++dwIndex) {
        wchar_t wzName[256];
        DWORD dwNameLen = 256;
        wchar_t wzData[64] = {};
        DWORD dwDataSize = sizeof wzData - sizeof(wchar_t);
        DWORD dwType = 0;
        if (::RegEnumValueW(hKey, dwIndex, wzName, &dwNameLen, nullptr, &dwType, reinterpret_cast<BYTE*>(wzData),
                            &dwDataSize) != ERROR_SUCCESS)
            break;
        unsigned nPort = 0;
        if (dwType == REG_SZ && std::swscanf(wzData, L"COM%u", &nPort) == 1 && nPort > 0)
            Numbers.push_back(nPort);
    }
    ::RegCloseKey(hKey);
    std::sort(Numbers.begin(), Numbers.end());
    Numbers.erase(std::unique(Numbers.begin(), Numbers.end()), Numbers.end());
    return Numbers;
}

unsigned FindPortNumber(const std::string& strPath)
{
    std::string strName = strPath;
    if (strName.rfind("\\\\.\\", 0) == 0)
        strName = strName.substr(4);
    unsigned nPort = 0;
    char chRest = 0;
    if ((strName.rfind("COM", 0) != 0 && strName.rfind("com", 0) != 0) ||
        std::sscanf(strName.c_str() + 3, "%u%c", &nPort, &chRest) != 1 || nPort == 0 || nPort > 255)
        return 0;
    return nPort;
}

// Windows names its ports' devices in the registry only by their driver's
// device path, which tells a user nothing more than the COM number.
std::string DescribeTty(const std::string&, const std::string&) { return {}; }
