#include "UsbAdapters.h"

#include <algorithm>
#include <array>

namespace {

// CH343 and CH9102 are CDC ACM devices: Debian 12's kernel serves them with
// its own cdc_acm (ttyACM0); the maker's ch343 module is not part of it.
constexpr std::array kModels{
    CUsbAdapterModel{0x1a86, 0x7523, "CH340/CH341", "ch341"},
    CUsbAdapterModel{0x1a86, 0x7522, "CH340/CH341", "ch341"},
    CUsbAdapterModel{0x1a86, 0x5523, "CH340/CH341", "ch341"},
    CUsbAdapterModel{0x1a86, 0x55d3, "CH343/CH9102", "cdc_acm"},
    CUsbAdapterModel{0x1a86, 0x55d4, "CH343/CH9102", "cdc_acm"},
    CUsbAdapterModel{0x10c4, 0xea60, "CP210x", "cp210x"},
    CUsbAdapterModel{0x10c4, 0xea70, "CP210x", "cp210x"},
    CUsbAdapterModel{0x10c4, 0xea71, "CP210x", "cp210x"},
    CUsbAdapterModel{0x0403, 0x6001, "FTDI", "ftdi_sio"},
    CUsbAdapterModel{0x0403, 0x6010, "FTDI", "ftdi_sio"},
    CUsbAdapterModel{0x0403, 0x6011, "FTDI", "ftdi_sio"},
    CUsbAdapterModel{0x0403, 0x6014, "FTDI", "ftdi_sio"},
    CUsbAdapterModel{0x0403, 0x6015, "FTDI", "ftdi_sio"},
    CUsbAdapterModel{0x067b, 0x2303, "PL2303", "pl2303"},
    CUsbAdapterModel{0x067b, 0x23a3, "PL2303", "pl2303"},
    CUsbAdapterModel{0x067b, 0x23b3, "PL2303", "pl2303"},
    CUsbAdapterModel{0x067b, 0x23c3, "PL2303", "pl2303"},
    CUsbAdapterModel{0x067b, 0x23d3, "PL2303", "pl2303"},
    CUsbAdapterModel{0x067b, 0x23e3, "PL2303", "pl2303"},
    CUsbAdapterModel{0x067b, 0x23f3, "PL2303", "pl2303"},
};

} // namespace

std::span<const CUsbAdapterModel> GetUsbAdapterModels() { return kModels; }

const CUsbAdapterModel* FindUsbAdapterModel(std::uint16_t wVendor, std::uint16_t wProduct)
{
    const auto It = std::find_if(kModels.begin(), kModels.end(), [&](const CUsbAdapterModel& A) {
        return A.wVendor == wVendor && A.wProduct == wProduct;
    });
    return It == kModels.end() ? nullptr : &*It;
}
