#include "AdapterFinding.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace {

using EKind = CAdapterFinding::EKind;

// One language's texts. {1}, {2} and {3} stand for what FillIn is given:
// the adapter's name first, then the module or driver, then the code.
struct CWording {
    const char* szName;         // {1} the chip family, {2} the ids and the product
    const char* szNoDriver[2];  // on Linux, on Windows; {2} the kernel module
    const char* szClaimed[2];   // {2} the driver that holds it (Windows)
    const char* szProblem[2];   // {3} the problem code
    const char* szNoAdapter;    // {1} the families of the table
};

constexpr CWording kEnglish{
    "The {1} adapter ({2})",
    {"{1} is plugged in, but no driver serves it: the kernel module {2} is not loaded. Load it with "
     "sudo modprobe {2}.",
     "{1} is plugged in, but its driver is not installed, so it has no COM port. Install the driver from the "
     "adapter's maker, or let Windows Update find it (Device Manager, Update driver)."},
    {"{1} is plugged in, but a program holds it (usbfs), so it has no serial port. That is usually brltty: remove "
     "it (sudo apt remove brltty), or copy /usr/lib/udev/rules.d/85-brltty.rules to /etc/udev/rules.d/ and "
     "comment out its lines with 1a86 and 10c4 there. Then unplug the adapter and plug it back in.",
     "{1} is plugged in, but it has the driver {2} instead of a serial driver, so it has no COM port. Uninstall "
     "that driver in Device Manager, install the adapter maker's driver and plug the adapter in again."},
    {"{1} is plugged in, but the system reports a problem with it (code {3}). Unplug it and plug it back in.",
     "{1} is plugged in, but Windows reports a problem with it (code {3}). Unplug it and plug it back in; if "
     "that does not help, reinstall its driver."},
    "No USB serial adapter ({1}) is plugged in: the computer does not see the device. Plug it in; if it is "
    "plugged in, try another cable: a charge-only cable carries no data.",
};

constexpr CWording kRussian{
    "Адаптер {1} ({2})",
    {"{1} подключён, но драйвера для него нет: модуль ядра {2} не загружен. Загрузите его: sudo modprobe {2}.",
     "{1} подключён, но драйвер для него не установлен, и COM-порта нет. Установите драйвер производителя "
     "адаптера или найдите его через Центр обновления Windows (Диспетчер устройств, «Обновить драйвер»)."},
    {"{1} подключён, но его заняла программа (usbfs), и порта нет. Обычно это brltty: удалите его (sudo apt "
     "remove brltty) или скопируйте /usr/lib/udev/rules.d/85-brltty.rules в /etc/udev/rules.d/ и "
     "закомментируйте там строки с 1a86 и 10c4. Затем отключите адаптер и подключите снова.",
     "{1} подключён, но у него драйвер {2} вместо драйвера COM-порта, и порта нет. Удалите этот драйвер в "
     "Диспетчере устройств, установите драйвер производителя адаптера и подключите адаптер снова."},
    {"{1} подключён, но система сообщает о неполадке (код {3}). Отключите его и подключите снова.",
     "{1} подключён, но Windows сообщает о неполадке (код {3}). Отключите его и подключите снова; если не "
     "поможет, переустановите драйвер."},
    "USB-адаптер ({1}) не подключён: компьютер не видит устройство. Подключите его; если оно подключено, "
    "возьмите другой кабель: кабель только для зарядки не передаёт данные.",
};

// The pattern with {1}, {2}, {3} replaced by the values given.
std::string FillIn(std::string_view szPattern, std::initializer_list<std::string> Values)
{
    std::string strText;
    for (std::size_t n = 0; n < szPattern.size(); ++n) {
        const std::size_t nIndex = n + 2 < szPattern.size() && szPattern[n] == '{' && szPattern[n + 2] == '}'
                                       ? static_cast<std::size_t>(szPattern[n + 1] - '1')
                                       : Values.size();
        if (nIndex < Values.size()) {
            strText += Values.begin()[nIndex];
            n += 2;
        } else {
            strText += szPattern[n];
        }
    }
    return strText;
}

// "CH340/CH341, CH343/CH9102, CP210x, FTDI, PL2303": each family once.
std::string ListFamilies()
{
    std::string strFamilies;
    std::vector<std::string_view> Seen;
    for (const CUsbAdapterModel& AModel : GetUsbAdapterModels()) {
        if (std::find(Seen.begin(), Seen.end(), AModel.szFamily) != Seen.end())
            continue;
        Seen.push_back(AModel.szFamily);
        strFamilies += (strFamilies.empty() ? "" : ", ") + std::string(AModel.szFamily);
    }
    return strFamilies;
}

std::string DescribeName(const CWording& AWording, const CUsbAdapter& AAdapter)
{
    char szIds[16];
    std::snprintf(szIds, sizeof szIds, "%04x:%04x", AAdapter.wVendor, AAdapter.wProduct);
    const CUsbAdapterModel* pModel = FindUsbAdapterModel(AAdapter.wVendor, AAdapter.wProduct);
    return FillIn(AWording.szName, {pModel != nullptr ? pModel->szFamily : "USB serial",
                                    szIds + (AAdapter.strProduct.empty() ? "" : ", " + AAdapter.strProduct)});
}

std::string DescribeOne(const CWording& AWording, const CAdapterFinding& AFinding, EHostSystem eSystem)
{
    const int nSystem = eSystem == EHostSystem::Windows ? 1 : 0;
    const CUsbAdapter& AAdapter = AFinding.AAdapter;
    const CUsbAdapterModel* pModel = FindUsbAdapterModel(AAdapter.wVendor, AAdapter.wProduct);
    const std::string strName = AFinding.eKind == EKind::NoAdapter ? ListFamilies() : DescribeName(AWording, AAdapter);
    switch (AFinding.eKind) {
    case EKind::NoDriver:
        return FillIn(AWording.szNoDriver[nSystem], {strName, pModel != nullptr ? pModel->szModule : ""});
    case EKind::Claimed: return FillIn(AWording.szClaimed[nSystem], {strName, AAdapter.strDriver});
    case EKind::Problem:
        return FillIn(AWording.szProblem[nSystem], {strName, "", std::to_string(AAdapter.dwProblem)});
    case EKind::NoAdapter: return FillIn(AWording.szNoAdapter, {strName});
    }
    return {};
}

std::vector<std::string> Describe(const CWording& AWording, std::span<const CAdapterFinding> Findings,
                                  EHostSystem eSystem)
{
    std::vector<std::string> Lines;
    for (const CAdapterFinding& AFinding : Findings)
        Lines.push_back(DescribeOne(AWording, AFinding, eSystem));
    return Lines;
}

// Why an adapter gives the search no port; none when it has one, or when
// nothing is known to be wrong with it.
std::optional<EKind> FindTrouble(const CUsbAdapter& AAdapter)
{
    constexpr std::uint32_t kNoDriverInstalled = 28;
    if (!AAdapter.Ports.empty())
        return std::nullopt;
    if (AAdapter.bUserSpace)
        return EKind::Claimed;
    if (AAdapter.dwProblem == kNoDriverInstalled || (AAdapter.strDriver.empty() && AAdapter.dwProblem == 0))
        return EKind::NoDriver;
    if (AAdapter.dwProblem != 0)
        return EKind::Problem;
    return std::nullopt;
}

} // namespace

std::vector<CAdapterFinding> FindAdapterTroubles(std::span<const CUsbAdapter> Adapters, bool bDeviceFound,
                                                 std::span<const CPortFinding> PortFindings)
{
    std::vector<CAdapterFinding> Findings;
    if (bDeviceFound)
        return Findings;
    for (const CUsbAdapter& AAdapter : Adapters)
        if (const std::optional<EKind> Trouble = FindTrouble(AAdapter))
            Findings.push_back({*Trouble, AAdapter});
    using EPort = CPortFinding::EKind;
    const bool bPortToActOn = std::any_of(PortFindings.begin(), PortFindings.end(), [](const CPortFinding& A) {
        return A.eKind == EPort::NoInfo || A.eKind == EPort::Denied || A.eKind == EPort::Busy;
    });
    if (Adapters.empty() && !bPortToActOn)
        Findings.push_back({EKind::NoAdapter, {}});
    return Findings;
}

std::vector<CAdapterFinding> ReadAdapterTroubles(std::span<const CPortFinding> PortFindings)
{
    return FindAdapterTroubles(ReadUsbAdapters(), false, PortFindings);
}

std::vector<std::string> DescribeInRussian(std::span<const CAdapterFinding> Findings, EHostSystem eSystem)
{
    return Describe(kRussian, Findings, eSystem);
}

std::vector<std::string> DescribeInEnglish(std::span<const CAdapterFinding> Findings, EHostSystem eSystem)
{
    return Describe(kEnglish, Findings, eSystem);
}
