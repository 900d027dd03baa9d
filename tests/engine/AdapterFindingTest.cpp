// Why no device was found, as the adapters plugged in tell it: read from
// fake sysfs trees (Linux) and from device lists as Windows reports them,
// with the words a driver reads written out.
#include <gtest/gtest.h>

#include "AdapterFinding.h"
#include "FakeSysfs.h"

namespace {

struct CSysfsDevice {
    const char* szName;
    const char* szIds;
    const char* szProduct;
    const char* szDriver;
    const char* szTty;
};

std::vector<CUsbAdapter> ReadTree(const std::vector<CSysfsDevice>& Devices)
{
    const CFakeSysfs ASysfs;
    for (const CSysfsDevice& A : Devices)
        ASysfs.AddDevice(A.szName, A.szIds, A.szProduct, A.szDriver, A.szTty);
    return ReadUsbAdapters();
}

// The lines expected: none for "".
std::vector<std::string> Lines(const char* szLine)
{
    return *szLine != '\0' ? std::vector<std::string>{szLine} : std::vector<std::string>{};
}

} // namespace

// The reader keeps only the table's devices and reads what serves each and
// the tty below it; a mouse, the root hub and the interfaces listed beside
// the devices are passed over.
TEST(AdapterFinding, SysfsReaderSeesDriversPortsAndUsbfs)
{
    const std::vector<CUsbAdapter> Adapters =
        ReadTree({{"1-1", "046d:c077", "USB Optical Mouse", "usbhid", ""},
                  {"1-2", "10c4:ea60", "CP2102 USB to UART Bridge Controller", "usbfs", ""},
                  {"1-3", "0403:6001", "FT232R USB UART", "ftdi_sio", "ttyUSB0"},
                  {"1-3.4", "1a86:55d4", "", "cdc_acm", "ttyACM0"}});
    ASSERT_EQ(Adapters.size(), 3u);
    const auto Fields = [](const CUsbAdapter& A) {
        return std::tuple(A.wVendor, A.wProduct, A.strProduct, A.strDriver, A.bUserSpace, A.Ports, A.dwProblem);
    };
    using P = std::vector<std::string>;
    EXPECT_EQ(Fields(Adapters[0]), std::tuple(0x10c4, 0xea60, "CP2102 USB to UART Bridge Controller", "usbfs", true, P{}, 0u));
    EXPECT_EQ(Fields(Adapters[1]), std::tuple(0x0403, 0x6001, "FT232R USB UART", "ftdi_sio", false, P{"ttyUSB0"}, 0u));
    EXPECT_EQ(Fields(Adapters[2]), std::tuple(0x1a86, 0x55d4, "", "cdc_acm", false, P{"ttyACM0"}, 0u));
}

// Linux's rows are read from sysfs trees, Windows's are its device tree's
// answers; each system's wording for the same trouble.
TEST(AdapterFinding, RulesAndTextsOnBothSystems)
{
    constexpr EHostSystem L = EHostSystem::Linux, W = EHostSystem::Windows;
    const auto Adapter = [](std::uint16_t wProduct, const char* szService, std::vector<std::string> Ports,
                            std::uint32_t dwProblem) {
        return CUsbAdapter{0x1a86, wProduct, "", "USB Serial", szService, std::string_view(szService) == "WinUSB",
                           std::move(Ports), dwProblem};
    };
    const struct {
        const char* szName;
        EHostSystem eSystem;
        std::vector<CSysfsDevice> Devices;  // Linux
        std::vector<CUsbAdapter> Adapters;  // Windows
        std::vector<CPortFinding> Ports;
        const char* szEnglish;
        const char* szRussian;  // not checked when null
    } Rows[] = {
        {"no adapter, a port that is silent", L, {}, {}, {{CPortFinding::EKind::Silent, 1, "/dev/ttyS0"}},
         "No USB serial adapter (CH340/CH341, CH343/CH9102, CP210x, FTDI, PL2303) is plugged in: the computer does "
         "not see the device. Plug it in; if it is plugged in, try another cable: a charge-only cable carries no data.",
         "USB-адаптер (CH340/CH341, CH343/CH9102, CP210x, FTDI, PL2303) не подключён: компьютер не видит устройство. "
         "Подключите его; если оно подключено, возьмите другой кабель: кабель только для зарядки не передаёт данные."},
        {"no adapter, a port the user may not open", L, {}, {}, {{CPortFinding::EKind::Denied, 1, "/dev/ttyS0"}}, "",
         ""},
        {"CH340 without a driver", L, {{"1-1", "1a86:7523", "USB Serial", "", ""}}, {}, {},
         "The CH340/CH341 adapter (1a86:7523, USB Serial) is plugged in, but no driver serves it: the kernel "
         "module ch341 is not loaded. Load it with sudo modprobe ch341.",
         nullptr},  // in Russian: the window's test
        {"CP210x bound to usbfs", L, {{"3-2", "10c4:ea60", "", "usbfs", ""}}, {}, {},
         "The CP210x adapter (10c4:ea60) is plugged in, but a program holds it (usbfs), so it has no serial port. "
         "That is usually brltty: remove it (sudo apt remove brltty), or copy /usr/lib/udev/rules.d/85-brltty.rules "
         "to /etc/udev/rules.d/ and comment out its lines with 1a86 and 10c4 there. Then unplug the adapter and "
         "plug it back in.",
         "Адаптер CP210x (10c4:ea60) подключён, но его заняла программа (usbfs), и порта нет. Обычно это brltty: "
         "удалите его (sudo apt remove brltty) или скопируйте /usr/lib/udev/rules.d/85-brltty.rules в "
         "/etc/udev/rules.d/ и закомментируйте там строки с 1a86 и 10c4. Затем отключите адаптер и подключите снова."},
        // Its port's own finding says what the search met there.
        {"FTDI with its port", L, {{"1-1", "0403:6001", "", "ftdi_sio", "ttyUSB0"}}, {},
         {{CPortFinding::EKind::Busy, 1, "/dev/ttyUSB0"}}, "", ""},
        {"two adapters, one without a driver", L,
         {{"1-1", "0403:6001", "", "ftdi_sio", "ttyUSB0"}, {"1-2", "1a86:55d3", "", "", ""}}, {},
         {{CPortFinding::EKind::Silent, 1, "/dev/ttyUSB0"}},
         "The CH343/CH9102 adapter (1a86:55d3) is plugged in, but no driver serves it: the kernel module cdc_acm is "
         "not loaded. Load it with sudo modprobe cdc_acm.",
         nullptr},
        {"no driver installed (problem 28)", W, {}, {Adapter(0x7523, "", {}, 28)}, {},
         "The CH340/CH341 adapter (1a86:7523, USB Serial) is plugged in, but its driver is not installed, so it has "
         "no COM port. Install the driver from the adapter's maker, or let Windows Update find it (Device Manager, "
         "Update driver).",
         "Адаптер CH340/CH341 (1a86:7523, USB Serial) подключён, но драйвер для него не установлен, и COM-порта нет. "
         "Установите драйвер производителя адаптера или найдите его через Центр обновления Windows (Диспетчер "
         "устройств, «Обновить драйвер»)."},
        {"its COM5 is there", W, {}, {Adapter(0x7523, "CH341SER_A64", {"COM5"}, 0)}, {}, "", ""},
        {"held by WinUSB", W, {}, {Adapter(0x7523, "WinUSB", {}, 0)}, {},
         "The CH340/CH341 adapter (1a86:7523, USB Serial) is plugged in, but it has the driver WinUSB instead of a "
         "serial driver, so it has no COM port. Uninstall that driver in Device Manager, install the adapter maker's "
         "driver and plug the adapter in again.",
         nullptr},
        {"a driver that failed to start (problem 10)", W, {}, {Adapter(0x55d4, "usbser", {}, 10)}, {},
         "The CH343/CH9102 adapter (1a86:55d4, USB Serial) is plugged in, but Windows reports a problem with it (code "
         "10). Unplug it and plug it back in; if that does not help, reinstall its driver.",
         nullptr},
    };
    for (const auto& ARow : Rows) {
        SCOPED_TRACE(ARow.szName);
        const std::vector<CUsbAdapter> Adapters = ARow.eSystem == L ? ReadTree(ARow.Devices) : ARow.Adapters;
        const std::vector<CAdapterFinding> Findings = FindAdapterTroubles(Adapters, false, ARow.Ports);
        EXPECT_EQ(DescribeAdapters(Findings, ARow.eSystem, ELanguage::English), Lines(ARow.szEnglish));
        if (ARow.szRussian != nullptr) {
            EXPECT_EQ(DescribeAdapters(Findings, ARow.eSystem, ELanguage::Russian), Lines(ARow.szRussian));
        }
        EXPECT_TRUE(FindAdapterTroubles(Adapters, true, ARow.Ports).empty()) << "a device found needs no reason";
    }
}
