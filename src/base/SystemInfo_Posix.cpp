// The computer as Linux tells it: /etc/os-release and uname; the files'
// hashes through nettle, the cryptographic library every Debian system has.
#include "SystemInfo.h"

#include <cstdlib>
#include <fstream>
#include <nettle/sha2.h>
#include <sys/utsname.h>

namespace {

// PRETTY_NAME of os-release, without its quotes.
std::string ReadPrettyName()
{
    for (const char* szFile : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream AFile(szFile);
        for (std::string strLine; std::getline(AFile, strLine);) {
            if (strLine.rfind("PRETTY_NAME=", 0) != 0)
                continue;
            std::string strName = strLine.substr(12);
            if (strName.size() >= 2 && (strName.front() == '"' || strName.front() == '\''))
                strName = strName.substr(1, strName.size() - 2);
            return strName;
        }
    }
    return {};
}

} // namespace

std::string DescribeSystem()
{
    std::string strText = ReadPrettyName();
    utsname AName{};
    if (::uname(&AName) == 0)
        strText += (strText.empty() ? "" : ", ") + std::string(AName.sysname) + " " + AName.release + " " +
                   AName.machine;
    return strText.empty() ? "unknown" : strText;
}

std::filesystem::path GetHomeFolder()
{
    const char* szHome = std::getenv("HOME");
    return szHome != nullptr ? std::filesystem::path(szHome) : std::filesystem::path();
}

bool ToLocalTime(std::time_t tWhen, std::tm& ATime) { return ::localtime_r(&tWhen, &ATime) != nullptr; }

std::optional<std::array<std::uint8_t, 32>> HashFileSha256(const std::filesystem::path& File)
{
    std::ifstream AFile(File, std::ios::binary);
    if (!AFile)
        return std::nullopt;
    sha256_ctx AContext{};
    sha256_init(&AContext);
    char szBuf[65536];
    while (AFile.read(szBuf, sizeof szBuf) || AFile.gcount() > 0)
        sha256_update(&AContext, static_cast<std::size_t>(AFile.gcount()), reinterpret_cast<const std::uint8_t*>(szBuf));
    if (AFile.bad())
        return std::nullopt;
    std::array<std::uint8_t, 32> ADigest{};
    sha256_digest(&AContext, ADigest.size(), ADigest.data());
    return ADigest;
}
