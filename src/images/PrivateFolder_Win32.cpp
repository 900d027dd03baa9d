// On Windows the folder gets a protected access list of one entry: full
// control for the user running the program, inherited by what it holds,
// nothing from the parent. The name is random; a name already taken is
// tried again with another.
#include "PrivateFolder.h"

#include <memory>
#include <random>
#include <string>

#include "Win32Names.h"
#include <sddl.h>

namespace {

struct SLocalFree {
    void operator()(void* p) const { ::LocalFree(p); }
};

// "D:P(A;OICI;FA;;;<the user's SID>)", or empty when the user is unknown.
std::wstring OwnerOnlyAccess()
{
    HANDLE hToken = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return {};
    alignas(TOKEN_USER) unsigned char abUser[256];
    DWORD dwSize = 0;
    const bool bUser = ::GetTokenInformation(hToken, TokenUser, abUser, sizeof abUser, &dwSize) != FALSE;
    ::CloseHandle(hToken);
    wchar_t* wzSid = nullptr;
    if (!bUser || !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(abUser)->User.Sid, &wzSid))
        return {};
    const std::unique_ptr<wchar_t, SLocalFree> pSid(wzSid);
    return L"D:P(A;OICI;FA;;;" + std::wstring(wzSid) + L")";
}

} // namespace

std::filesystem::path CPrivateFolder::Make(const std::filesystem::path& Parent)
{
    const std::wstring strAccess = OwnerOnlyAccess();
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (strAccess.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(strAccess.c_str(), SDDL_REVISION_1,
                                                                                     &pDescriptor, nullptr))
        return {};
    const std::unique_ptr<void, SLocalFree> pHeld(pDescriptor);
    SECURITY_ATTRIBUTES AAttributes{sizeof AAttributes, pDescriptor, FALSE};
    std::random_device ARandom;
    for (int nTry = 0; nTry < 100; ++nTry) {
        const std::filesystem::path Path = Parent / (std::wstring(kPrefix, kPrefix + std::char_traits<char>::length(kPrefix)) +
                                                     std::to_wstring(ARandom()));
        if (::CreateDirectoryW(Path.c_str(), &AAttributes))
            return Path;
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}
