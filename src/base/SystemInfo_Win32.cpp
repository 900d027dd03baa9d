// The computer as Windows tells it: the version ntdll reports (and Wine's
// own, when it runs under Wine), the profile folder; the files' hashes
// through the system's own cryptography (BCrypt).
#include "SystemInfo.h"

#include <fstream>

#include "TextCodec.h"
#include "Win32Names.h"

#include <bcrypt.h>

namespace {

using ARtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
using AWineGetVersion = const char*(CDECL*)();

// A function of ntdll, looked up at run time: RtlGetVersion tells the true
// version (GetVersionEx answers what the program was built for), and
// wine_get_version exists only under Wine.
template <class TFunction>
TFunction FindInNtdll(const char* szName)
{
    const HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return hNtdll != nullptr ? reinterpret_cast<TFunction>(reinterpret_cast<void*>(::GetProcAddress(hNtdll, szName)))
                             : nullptr;
}

// Closes a BCrypt handle with its owner.
struct CAlgorithm {
    BCRYPT_ALG_HANDLE h = nullptr;
    ~CAlgorithm()
    {
        if (h != nullptr)
            ::BCryptCloseAlgorithmProvider(h, 0);
    }
};
struct CHash {
    BCRYPT_HASH_HANDLE h = nullptr;
    ~CHash()
    {
        if (h != nullptr)
            ::BCryptDestroyHash(h);
    }
};

} // namespace

std::string DescribeSystem()
{
    std::string strText = "Windows";
    OSVERSIONINFOW AInfo{};
    AInfo.dwOSVersionInfoSize = sizeof AInfo;
    if (const auto pGetVersion = FindInNtdll<ARtlGetVersion>("RtlGetVersion"); pGetVersion && pGetVersion(&AInfo) == 0)
        strText += " " + std::to_string(AInfo.dwMajorVersion) + "." + std::to_string(AInfo.dwMinorVersion) + "." +
                   std::to_string(AInfo.dwBuildNumber);
    SYSTEM_INFO ASystem{};
    ::GetNativeSystemInfo(&ASystem);
    strText += ASystem.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? " x86_64"
             : ASystem.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ? " arm64"
                                                                               : "";
    if (const auto pWine = FindInNtdll<AWineGetVersion>("wine_get_version"))
        strText += std::string(" (Wine ") + pWine() + ")";
    return strText;
}

std::filesystem::path GetHomeFolder()
{
    wchar_t wzHome[MAX_PATH + 1] = {};
    const DWORD dwLength = ::GetEnvironmentVariableW(L"USERPROFILE", wzHome, MAX_PATH);
    return dwLength > 0 && dwLength < MAX_PATH ? std::filesystem::path(std::wstring(wzHome, dwLength))
                                               : std::filesystem::path();
}

bool ToLocalTime(std::time_t tWhen, std::tm& ATime) { return ::localtime_s(&ATime, &tWhen) == 0; }

std::optional<std::array<std::uint8_t, 32>> HashFileSha256(const std::filesystem::path& File)
{
    std::ifstream AFile(File, std::ios::binary);
    CAlgorithm AAlgorithm;
    CHash AHash;
    if (!AFile || ::BCryptOpenAlgorithmProvider(&AAlgorithm.h, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
        ::BCryptCreateHash(AAlgorithm.h, &AHash.h, nullptr, 0, nullptr, 0, 0) != 0)
        return std::nullopt;
    char szBuf[65536];
    while (AFile.read(szBuf, sizeof szBuf) || AFile.gcount() > 0)
        if (::BCryptHashData(AHash.h, reinterpret_cast<PUCHAR>(szBuf), static_cast<ULONG>(AFile.gcount()), 0) != 0)
            return std::nullopt;
    std::array<std::uint8_t, 32> ADigest{};
    if (AFile.bad() || ::BCryptFinishHash(AHash.h, ADigest.data(), static_cast<ULONG>(ADigest.size()), 0) != 0)
        return std::nullopt;
    return ADigest;
}
