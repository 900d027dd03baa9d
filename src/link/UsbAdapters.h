#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The USB serial adapters a radar detector is commonly plugged in with, and
// what the system makes of those that are present: the tool names them when
// no device answers, since a missing driver or a program that claimed the
// adapter leaves no port to probe at all.

// One kind of adapter: its ids, the chip family a user finds printed on it
// or in a shop's listing, and the Linux kernel module that serves it.
struct CUsbAdapterModel {
    std::uint16_t wVendor = 0;
    std::uint16_t wProduct = 0;
    const char* szFamily = "";  // "CH340/CH341"
    const char* szModule = "";  // "ch341"
};

// Every kind the tool knows (the one table of them); static storage.
std::span<const CUsbAdapterModel> GetUsbAdapterModels();
// The table's row for these ids, or null. The pointer is to static storage.
const CUsbAdapterModel* FindUsbAdapterModel(std::uint16_t wVendor, std::uint16_t wProduct);

// One adapter of the table that is plugged in, as the system sees it.
struct CUsbAdapter {
    std::uint16_t wVendor = 0;
    std::uint16_t wProduct = 0;
    std::string strManufacturer;     // UTF-8; empty when the device does not say
    std::string strProduct;          // UTF-8; empty when the device does not say
    std::string strDriver;           // the driver serving its interface(s) (Linux: ch341, usbfs; Windows:
                                     // the service, CH341SER_A64, usbser); empty when none serves it
    bool bUserSpace = false;         // held by a user-space program instead of a serial driver
                                     // (Linux: an interface bound to usbfs; Windows: WinUSB, libusb)
    std::vector<std::string> Ports;  // the serial ports below it: ttyUSB0, ttyACM0; COM3
    std::uint32_t dwProblem = 0;     // Windows: the device node's problem code (28: no driver
                                     // installed); 0 none, and always 0 on Linux
};

// The present USB devices whose ids are in the table, in the system's
// order. Linux reads sysfs under $IAP_SYSFS_ROOT (default /sys); Windows
// asks the device tree (SetupAPI, CfgMgr32). Empty when none is present or
// the system cannot be asked; never throws. Any thread, any number at once:
// it keeps nothing between calls. It blocks while it reads: a few
// milliseconds on Linux, up to a few tenths of a second on Windows.
std::vector<CUsbAdapter> ReadUsbAdapters();

// The system the tool runs on, for the texts that tell a user what to do.
enum class EHostSystem { Linux, Windows };
EHostSystem GetHostSystem();
