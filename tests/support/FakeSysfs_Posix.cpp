#include "FakeSysfs.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

void WriteLine(const fs::path& File, const std::string& strText)
{
    std::ofstream(File) << strText << "\n";
}

} // namespace

CFakeSysfs::CFakeSysfs()
{
    std::string strTemplate = (fs::temp_directory_path() / "iap-sysfs-XXXXXX").string();
    if (::mkdtemp(strTemplate.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_strPath = strTemplate;
    fs::create_directories(fs::path(m_strPath) / "bus/usb/devices");
    AddDevice("usb1", "1d6b:0002", "xHCI Host Controller", "hub");
    ::setenv("IAP_SYSFS_ROOT", m_strPath.c_str(), 1);
}

CFakeSysfs::~CFakeSysfs()
{
    ::unsetenv("IAP_SYSFS_ROOT");
    std::error_code AError;
    fs::remove_all(m_strPath, AError);
}

void CFakeSysfs::AddDevice(const std::string& strName, const std::string& strIds, const std::string& strProduct,
                           const std::string& strDriver, const std::string& strTty) const
{
    const fs::path Device = fs::path(m_strPath) / "devices/usb1" / strName;
    const fs::path Interface = Device / (strName + ":1.0");
    fs::create_directories(Interface);
    WriteLine(Device / "idVendor", strIds.substr(0, 4));
    WriteLine(Device / "idProduct", strIds.substr(5));
    if (!strProduct.empty())
        WriteLine(Device / "product", strProduct);
    if (!strDriver.empty())
        fs::create_directory_symlink("../../../../bus/usb/drivers/" + strDriver, Interface / "driver");
    if (!strTty.empty())
        fs::create_directories(Interface / (strTty.rfind("ttyACM", 0) == 0 ? "tty/" + strTty : strTty));
    const fs::path Links = fs::path(m_strPath) / "bus/usb/devices";
    fs::create_directory_symlink("../../../devices/usb1/" + strName, Links / strName);
    fs::create_directory_symlink("../../../devices/usb1/" + strName + "/" + strName + ":1.0", Links / (strName + ":1.0"));
}
