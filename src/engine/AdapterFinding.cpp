#include "AdapterFinding.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "TextCatalog.h"

namespace {

using EKind = CAdapterFinding::EKind;

// The texts of each kind, on Linux and on Windows. {1} stands for the
// adapter's name, {2} for the module or driver, {3} for the problem code.
struct CWording {
    CTextKey ANoDriver[2];
    CTextKey AClaimed[2];
    CTextKey AProblem[2];
};

constexpr CWording kWording{
    {"{1} подключён, но драйвера для него нет: модуль ядра {2} не загружен. Загрузите его: sudo modprobe {2}.",
     "{1} подключён, но драйвер для него не установлен, и COM-порта нет. Установите драйвер производителя адаптера "
     "или найдите его через Центр обновления Windows (Диспетчер устройств, «Обновить драйвер»)."},
    {"{1} подключён, но его заняла программа (usbfs), и порта нет. Обычно это brltty: удалите его (sudo apt remove "
     "brltty) или скопируйте /usr/lib/udev/rules.d/85-brltty.rules в /etc/udev/rules.d/ и закомментируйте там "
     "строки с 1a86 и 10c4. Затем отключите адаптер и подключите снова.",
     "{1} подключён, но у него драйвер {2} вместо драйвера COM-порта, и порта нет. Удалите этот драйвер в "
     "Диспетчере устройств, установите драйвер производителя адаптера и подключите адаптер снова."},
    {"{1} подключён, но система сообщает о неполадке (код {3}). Отключите его и подключите снова.",
     "{1} подключён, но Windows сообщает о неполадке (код {3}). Отключите его и подключите снова; если не поможет, "
     "переустановите драйвер."},
};

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

std::string DescribeName(const CUsbAdapter& AAdapter, ELanguage eLanguage)
{
    char szIds[16];
    std::snprintf(szIds, sizeof szIds, "%04x:%04x", AAdapter.wVendor, AAdapter.wProduct);
    const CUsbAdapterModel* pModel = FindUsbAdapterModel(AAdapter.wVendor, AAdapter.wProduct);
    return FormatText(eLanguage, "Адаптер {1} ({2})",
                      {pModel != nullptr ? pModel->szFamily : "USB serial",
                       szIds + (AAdapter.strProduct.empty() ? "" : ", " + AAdapter.strProduct)});
}

std::string DescribeOne(const CAdapterFinding& AFinding, EHostSystem eSystem, ELanguage eLanguage)
{
    const int nSystem = eSystem == EHostSystem::Windows ? 1 : 0;
    const CUsbAdapter& AAdapter = AFinding.AAdapter;
    const CUsbAdapterModel* pModel = FindUsbAdapterModel(AAdapter.wVendor, AAdapter.wProduct);
    if (AFinding.eKind == EKind::NoAdapter)
        return FormatText(eLanguage,
                          "USB-адаптер ({1}) не подключён: компьютер не видит устройство. Подключите его; если оно "
                          "подключено, возьмите другой кабель: кабель только для зарядки не передаёт данные.",
                          {ListFamilies()});
    const std::string strName = DescribeName(AAdapter, eLanguage);
    switch (AFinding.eKind) {
    case EKind::NoDriver:
        return FormatText(eLanguage, kWording.ANoDriver[nSystem], {strName, pModel != nullptr ? pModel->szModule : ""});
    case EKind::Claimed: return FormatText(eLanguage, kWording.AClaimed[nSystem], {strName, AAdapter.strDriver});
    case EKind::Problem:
        return FormatText(eLanguage, kWording.AProblem[nSystem], {strName, "", std::to_string(AAdapter.dwProblem)});
    case EKind::NoAdapter: break;
    }
    return {};
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

std::vector<std::string> DescribeAdapters(std::span<const CAdapterFinding> Findings, EHostSystem eSystem,
                                          ELanguage eLanguage)
{
    std::vector<std::string> Lines;
    for (const CAdapterFinding& AFinding : Findings)
        Lines.push_back(DescribeOne(AFinding, eSystem, eLanguage));
    return Lines;
}
