// The adapters as Linux's sysfs shows them: bus/usb/devices/ links every USB
// device (1-1, 1-1.4; usb1 for a root hub) and every interface (1-1:1.0).
// A device's interfaces are also its subfolders; each one's "driver" link
// names the driver that serves it, and the tty it makes hangs below it.
#include "UsbAdapters.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "TextCodec.h"

namespace {

namespace fs = std::filesystem;

// Tests point this at a tree of their own.
fs::path GetSysfsRoot()
{
    const char* szRoot = std::getenv("IAP_SYSFS_ROOT");
    return PathFromUtf8(szRoot != nullptr && *szRoot != '\0' ? szRoot : "/sys");
}

std::string ReadLine(const fs::path& File)
{
    std::ifstream AFile(File);
    std::string strLine;
    std::getline(AFile, strLine);
    return strLine;
}

std::optional<std::uint16_t> ReadId(const fs::path& File)
{
    const std::string strText = ReadLine(File);
    std::uint16_t wId = 0;
    const auto [pEnd, eError] = std::from_chars(strText.data(), strText.data() + strText.size(), wId, 16);
    if (eError != std::errc() || strText.empty() || pEnd != strText.data() + strText.size())
        return std::nullopt;
    return wId;
}

// The names of a folder's entries; none when it cannot be read.
std::vector<std::string> ListNames(const fs::path& Folder)
{
    std::vector<std::string> Names;
    std::error_code AError;
    for (fs::directory_iterator It(Folder, AError), End; !AError && It != End; It.increment(AError))
        Names.push_back(It->path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

// The ttys below one interface: ttyUSB0/ for the usb-serial drivers,
// tty/ttyACM0/ for cdc_acm.
void AddTtys(const fs::path& Interface, std::vector<std::string>& Ports)
{
    for (const std::string& strName : ListNames(Interface))
        if (strName.rfind("ttyUSB", 0) == 0)
            Ports.push_back(strName);
    for (const std::string& strName : ListNames(Interface / "tty"))
        Ports.push_back(strName);
}

// Its interfaces (<device>:<config>.<n>) and what serves each.
void ReadInterfaces(const fs::path& Device, const std::string& strDevice, CUsbAdapter& AAdapter)
{
    for (const std::string& strName : ListNames(Device)) {
        if (strName.rfind(strDevice + ":", 0) != 0)
            continue;
        const fs::path Interface = Device / strName;
        std::error_code AError;
        const std::string strDriver = fs::read_symlink(Interface / "driver", AError).filename().string();
        if (!AError && !strDriver.empty()) {
            AAdapter.bUserSpace = AAdapter.bUserSpace || strDriver == "usbfs";
            if (AAdapter.strDriver.empty() || AAdapter.strDriver == "usbfs")
                AAdapter.strDriver = strDriver;
        }
        AddTtys(Interface, AAdapter.Ports);
    }
}

} // namespace

std::vector<CUsbAdapter> ReadUsbAdapters()
{
    std::vector<CUsbAdapter> Adapters;
    const fs::path Devices = GetSysfsRoot() / "bus" / "usb" / "devices";
    for (const std::string& strDevice : ListNames(Devices)) {
        // Interfaces are listed beside the devices; root hubs have ids
        // that are in no table.
        if (strDevice.find(':') != std::string::npos)
            continue;
        const fs::path Device = Devices / strDevice;
        const std::optional<std::uint16_t> Vendor = ReadId(Device / "idVendor");
        const std::optional<std::uint16_t> Product = ReadId(Device / "idProduct");
        if (!Vendor || !Product || FindUsbAdapterModel(*Vendor, *Product) == nullptr)
            continue;
        CUsbAdapter AAdapter;
        AAdapter.wVendor = *Vendor;
        AAdapter.wProduct = *Product;
        AAdapter.strManufacturer = ReadLine(Device / "manufacturer");
        AAdapter.strProduct = ReadLine(Device / "product");
        ReadInterfaces(Device, strDevice, AAdapter);
        Adapters.push_back(std::move(AAdapter));
    }
    return Adapters;
}

EHostSystem GetHostSystem() { return EHostSystem::Linux; }
