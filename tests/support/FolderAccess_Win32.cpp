#include "FolderAccess.h"

#include "Win32Names.h"
#include <aclapi.h>

std::optional<bool> IsUserOnly(const std::filesystem::path& Folder)
{
    if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr)
        return std::nullopt;
    PACL pAcl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (::GetNamedSecurityInfoW(Folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &pAcl,
                                nullptr, &pDescriptor) != ERROR_SUCCESS)
        return false;
    SECURITY_DESCRIPTOR_CONTROL wControl = 0;
    DWORD dwRevision = 0;
    ACCESS_ALLOWED_ACE* pAce = nullptr;
    bool bUserOnly = ::GetSecurityDescriptorControl(pDescriptor, &wControl, &dwRevision) &&
                     (wControl & SE_DACL_PROTECTED) != 0 && pAcl != nullptr && pAcl->AceCount == 1 &&
                     ::GetAce(pAcl, 0, reinterpret_cast<void**>(&pAce)) &&
                     pAce->Header.AceType == ACCESS_ALLOWED_ACE_TYPE;
    HANDLE hToken = nullptr;
    alignas(TOKEN_USER) unsigned char abUser[256];
    DWORD dwSize = 0;
    bUserOnly = bUserOnly && ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken) &&
                ::GetTokenInformation(hToken, TokenUser, abUser, sizeof abUser, &dwSize) &&
                ::EqualSid(&pAce->SidStart, reinterpret_cast<TOKEN_USER*>(abUser)->User.Sid);
    if (hToken != nullptr)
        ::CloseHandle(hToken);
    ::LocalFree(pDescriptor);
    return bUserOnly;
}
