#include "SearchText.h"

#include <cstdio>

#include "TextCodec.h"
#include "Work_BK.h"

namespace {

// Which ports were looked at: "COM1 to COM49, COM57", or the one given.
std::string DescribeSearched(const std::vector<std::uint8_t>& Ports, ELanguage eLanguage)
{
    if (Ports.size() == 1)
        return "COM" + std::to_string(Ports.front());
    std::string strText = "COM1" + std::string(eLanguage == ELanguage::Russian ? "–" : " to ") + "COM" +
                          std::to_string(kSearchPortBound - 1);
    for (const std::uint8_t btPort : Ports)
        if (btPort >= kSearchPortBound)
            strText += ", COM" + std::to_string(btPort);
    return strText;
}

std::string DescribeEnglish(const CPortFinding& A)
{
    const std::string strPort = "COM" + std::to_string(A.btPort) + " (" + A.strPath + ") ";
    switch (A.eKind) {
    case CPortFinding::EKind::Denied:
        return strPort + "may not be opened: permission denied. If IAP Tool was installed from its package, "
                         "unplug the adapter and plug it back in; otherwise (or over ssh) add your user to the "
                         "group that owns it (dialout on Debian) and log in again.";
    case CPortFinding::EKind::Busy: return strPort + "is held open by another program (busy). Close that program and try again.";
    case CPortFinding::EKind::Silent: return strPort + "opened, but nothing answered.";
    case CPortFinding::EKind::TooShort: return strPort + "answered, but not as the device does: its answer is too short.";
    case CPortFinding::EKind::Foreign: {
        char szCommand[8];
        std::snprintf(szCommand, sizeof szCommand, "0x%02X", A.btCommand);
        return strPort + "answered, but not as the device does: command " + szCommand + " instead of 0x46.";
    }
    case CPortFinding::EKind::NoInfo:
        return strPort + "answered the probe, but not one of its information requests. Unplug the device, plug it "
                         "back in and try again.";
    }
    return {};
}

std::string DescribeRussian(const CPortFinding& A)
{
    const std::string strPort = "COM" + std::to_string(A.btPort) + " (" + A.strPath + ")";
    switch (A.eKind) {
    case CPortFinding::EKind::NoInfo:
        return "Отключите устройство от компьютера, подключите снова и подождите: поиск продолжается.";
    case CPortFinding::EKind::Denied:
        return "Порт " + strPort + " закрыт для этого пользователя: нет прав доступа. Если программа установлена из "
               "пакета, отключите адаптер и подключите его снова. Иначе добавьте пользователя в группу dialout и "
               "войдите в систему заново.";
    case CPortFinding::EKind::Busy: return "Порт " + strPort + " занят другой программой. Закройте её: поиск продолжается.";
    case CPortFinding::EKind::TooShort:
    case CPortFinding::EKind::Foreign: return "На порту " + strPort + " отвечает не это устройство.";
    case CPortFinding::EKind::Silent: break;
    }
    return {};
}

} // namespace

CSearchText DescribeSearch(const std::vector<CPortFinding>& Findings, const std::vector<std::uint8_t>& Searched,
                           ELanguage eLanguage)
{
    const bool bRussian = eLanguage == ELanguage::Russian;
    CSearchText AText;
    AText.strHeadline = bRussian ? "Устройство не ответило ни на одном порту: " + DescribeSearched(Searched, eLanguage) + "."
                                 : "No device answered on " + DescribeSearched(Searched, eLanguage) + ".";
    for (const CPortFinding& A : Findings) {
        AText.PortLines.push_back(bRussian ? DescribeRussian(A) : DescribeEnglish(A));
        if (A.eKind == CPortFinding::EKind::NoInfo) {
            AText.bNoInfo = true;
            AText.strHeadline = bRussian ? "Устройство на COM" + std::to_string(A.btPort) +
                                               " ответило, но не прислало сведений о себе."
                                         : "A device answered on COM" + std::to_string(A.btPort) +
                                               " but sent no information.";
        }
    }
    if (const CPortFinding* pFinding = GetMostUseful(Findings))
        AText.strMostUseful = bRussian ? DescribeRussian(*pFinding) : DescribeEnglish(*pFinding);
    return AText;
}

std::vector<std::string> DescribeAdapters(const std::vector<CAdapterFinding>& Findings, EHostSystem eSystem,
                                          ELanguage eLanguage)
{
    return eLanguage == ELanguage::Russian ? DescribeInRussian(Findings, eSystem) : DescribeInEnglish(Findings, eSystem);
}

std::string DescribeDeviceAfter(const std::optional<std::wstring>& FirmwareNow, const std::wstring& strSent,
                                ELanguage eLanguage)
{
    const bool bRussian = eLanguage == ELanguage::Russian;
    if (!FirmwareNow)
        return bRussian ? "Устройство не сообщило свои версии после обновления."
                        : "The device did not report its versions after the update.";
    if (strSent.empty() || *FirmwareNow == strSent)
        return {};
    const std::string strNow = WideToUtf8(*FirmwareNow), strWritten = WideToUtf8(strSent);
    return bRussian ? "После обновления устройство сообщает версию ПО " + strNow + ", а записана " + strWritten + "."
                    : "Note: the device reports firmware " + strNow + ", not " + strWritten + " as written.";
}
