#include "PortTable.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

bool Exists(const std::string& strPath)
{
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0;
}

// Numbers of /dev/<prefix>N, ascending.
std::vector<unsigned> ListNumbered(const std::string& strPrefix)
{
    std::vector<unsigned> Numbers;
    DIR* pDir = ::opendir("/dev");
    if (pDir == nullptr)
        return Numbers;
    while (const dirent* pEntry = ::readdir(pDir)) {
        const std::string strName = pEntry->d_name;
        if (strName.size() <= strPrefix.size() || strName.compare(0, strPrefix.size(), strPrefix) != 0)
            continue;
        const std::string strDigits = strName.substr(strPrefix.size());
        if (!std::all_of(strDigits.begin(), strDigits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        if (strDigits.size() < 6)
            Numbers.push_back(static_cast<unsigned>(std::stoul(strDigits)));
    }
    ::closedir(pDir);
    std::sort(Numbers.begin(), Numbers.end());
    return Numbers;
}

// A ttyS port is real hardware when the kernel reports a UART type.
bool HasUart(unsigned n)
{
    std::ifstream AFile("/sys/class/tty/ttyS" + std::to_string(n) + "/type");
    int nType = 0;
    return AFile >> nType && nType != 0;
}

std::vector<std::string> ListSystemPorts()
{
    std::vector<std::string> Paths;
    for (unsigned n : ListNumbered("ttyUSB"))
        Paths.push_back("/dev/ttyUSB" + std::to_string(n));
    for (unsigned n : ListNumbered("ttyACM"))
        Paths.push_back("/dev/ttyACM" + std::to_string(n));
    for (unsigned n : ListNumbered("ttyS"))
        if (HasUart(n))
            Paths.push_back("/dev/ttyS" + std::to_string(n));
    return Paths;
}

} // namespace

std::string GetPortPath(unsigned nPort)
{
    if (nPort == 0)
        return {};
    if (const char* szDir = std::getenv("IAP_PORT_DIR"); szDir != nullptr && *szDir != '\0') {
        std::string strPath = std::string(szDir) + "/COM" + std::to_string(nPort);
        return Exists(strPath) ? strPath : std::string();
    }
    const std::vector<std::string> Paths = ListSystemPorts();
    return nPort <= Paths.size() ? Paths[nPort - 1] : std::string();
}

std::vector<unsigned> ListPortNumbers()
{
    std::vector<unsigned> Numbers;
    if (const char* szDir = std::getenv("IAP_PORT_DIR"); szDir != nullptr && *szDir != '\0') {
        if (DIR* pDir = ::opendir(szDir)) {
            while (const dirent* pEntry = ::readdir(pDir)) {
                const std::string strName = pEntry->d_name;
                const std::string strDigits = strName.size() > 3 && strName.compare(0, 3, "COM") == 0 ? strName.substr(3) : "";
                if (!strDigits.empty() && strDigits.size() < 6 && strDigits[0] != '0' &&
                    std::all_of(strDigits.begin(), strDigits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                    !GetPortPath(static_cast<unsigned>(std::stoul(strDigits))).empty())
                    Numbers.push_back(static_cast<unsigned>(std::stoul(strDigits)));
            }
            ::closedir(pDir);
        }
        std::sort(Numbers.begin(), Numbers.end());
        return Numbers;
    }
    const std::size_t nPorts = ListSystemPorts().size();
    for (unsigned n = 1; n <= nPorts; ++n)
        Numbers.push_back(n);
    return Numbers;
}

unsigned FindPortNumber(const std::string& strPath)
{
    std::error_code AError;
    const std::filesystem::path Wanted = std::filesystem::canonical(strPath, AError);
    if (AError)
        return 0;
    for (const unsigned n : ListPortNumbers())
        if (std::filesystem::canonical(GetPortPath(n), AError) == Wanted && !AError)
            return n;
    return 0;
}

std::string DescribeTty(const std::string& strTtyName, const std::string& strSysRoot)
{
    // The terminal's device, then up the tree to the USB device that has
    // the ids: an adapter's tty hangs below one of its interfaces.
    std::error_code AError;
    std::filesystem::path Device =
        std::filesystem::canonical(std::filesystem::path(strSysRoot) / "class" / "tty" / strTtyName / "device", AError);
    const auto Read = [](const std::filesystem::path& File) {
        std::ifstream AFile(File);
        std::string strLine;
        std::getline(AFile, strLine);
        return strLine;
    };
    for (int nUp = 0; !AError && nUp < 4 && Device.has_relative_path(); ++nUp, Device = Device.parent_path()) {
        const std::string strVendor = Read(Device / "idVendor");
        if (strVendor.empty())
            continue;
        std::string strText = strVendor + ":" + Read(Device / "idProduct");
        const std::string strProduct = Read(Device / "product");
        const std::string strMaker = Read(Device / "manufacturer");
        if (!strProduct.empty())
            strText += " " + strProduct;
        if (!strMaker.empty())
            strText += " (" + strMaker + ")";
        return strText;
    }
    return {};
}
