#include "SearchText.h"

#include <cstdio>

#include "TextCatalog.h"
#include "TextCodec.h"
#include "Work_BK.h"

namespace {

using EKind = CPortFinding::EKind;

// Which ports were looked at: "COM1 to COM49, COM57", or the one given.
std::string DescribeSearched(const std::vector<std::uint8_t>& Ports, ELanguage eLanguage)
{
    if (Ports.size() == 1)
        return "COM" + std::to_string(Ports.front());
    std::string strText = FormatText(eLanguage, "COM{1}–COM{2}", {"1", std::to_string(kSearchPortBound - 1)});
    for (const std::uint8_t btPort : Ports)
        if (btPort >= kSearchPortBound)
            strText += ", COM" + std::to_string(btPort);
    return strText;
}

std::string NamePort(const CPortFinding& A) { return "COM" + std::to_string(A.btPort) + " (" + A.strPath + ")"; }

// A port's line after a search that has ended: every port says what it met.
std::string DescribePort(const CPortFinding& A, ELanguage eLanguage)
{
    const std::string strPort = NamePort(A);
    switch (A.eKind) {
    case EKind::Denied:
        return FormatText(eLanguage,
                          "Порт {1} не открыть: нет прав доступа. Если IAP Tool установлен из пакета, отключите адаптер "
                          "и подключите его снова; иначе (или при работе через ssh) добавьте пользователя в группу, "
                          "которой принадлежит порт (в Debian это dialout), и войдите в систему заново.",
                          {strPort});
    case EKind::Busy:
        return FormatText(eLanguage, "Порт {1} держит открытым другая программа (занят). Закройте её и попробуйте снова.",
                          {strPort});
    case EKind::Silent: return FormatText(eLanguage, "Порт {1} открылся, но никто не ответил.", {strPort});
    case EKind::TooShort:
        return FormatText(eLanguage, "На порту {1} ответили, но не так, как отвечает устройство: ответ слишком короткий.",
                          {strPort});
    case EKind::Foreign: {
        char szCommand[8];
        std::snprintf(szCommand, sizeof szCommand, "0x%02X", A.btCommand);
        return FormatText(eLanguage,
                          "На порту {1} ответили, но не так, как отвечает устройство: команда {2} вместо 0x46.",
                          {strPort, szCommand});
    }
    case EKind::NoInfo:
        return FormatText(eLanguage,
                          "На порту {1} устройство ответило на опрос, но ни на один запрос сведений. Отключите "
                          "устройство, подключите снова и попробуйте ещё раз.",
                          {strPort});
    }
    return {};
}

// The window's one line while it searches on: what the driver can do now.
std::string DescribeForWindow(const CPortFinding& A, ELanguage eLanguage)
{
    const std::string strPort = NamePort(A);
    switch (A.eKind) {
    case EKind::NoInfo:
        return FormatText(eLanguage,
                          "Отключите устройство от компьютера, подключите снова и подождите: поиск продолжается.", {});
    case EKind::Denied:
        return FormatText(eLanguage,
                          "Порт {1} закрыт для этого пользователя: нет прав доступа. Если программа установлена из "
                          "пакета, отключите адаптер и подключите его снова. Иначе добавьте пользователя в группу "
                          "dialout и войдите в систему заново.",
                          {strPort});
    case EKind::Busy:
        return FormatText(eLanguage, "Порт {1} занят другой программой. Закройте её: поиск продолжается.", {strPort});
    case EKind::TooShort:
    case EKind::Foreign: return FormatText(eLanguage, "На порту {1} отвечает не это устройство.", {strPort});
    case EKind::Silent: break;
    }
    return {};
}

} // namespace

CSearchText DescribeSearch(const std::vector<CPortFinding>& Findings, const std::vector<std::uint8_t>& Searched,
                           ELanguage eLanguage)
{
    CSearchText AText;
    AText.strHeadline =
        FormatText(eLanguage, "Устройство не ответило ни на одном порту: {1}.", {DescribeSearched(Searched, eLanguage)});
    for (const CPortFinding& A : Findings) {
        AText.PortLines.push_back(DescribePort(A, eLanguage));
        if (A.eKind == EKind::NoInfo) {
            AText.bNoInfo = true;
            AText.strHeadline = FormatText(eLanguage, "Устройство на COM{1} ответило, но не прислало сведений о себе.",
                                           {std::to_string(A.btPort)});
        }
    }
    if (const CPortFinding* pFinding = GetMostUseful(Findings))
        AText.strMostUseful = DescribeForWindow(*pFinding, eLanguage);
    return AText;
}

std::string DescribeDeviceAfter(const std::optional<std::wstring>& FirmwareNow, const std::wstring& strSent,
                                ELanguage eLanguage)
{
    if (!FirmwareNow)
        return FormatText(eLanguage, "Устройство не сообщило свои версии после обновления.", {});
    if (strSent.empty() || *FirmwareNow == strSent)
        return {};
    return FormatText(eLanguage, "После обновления устройство сообщает версию ПО {1}, а записана {2}.",
                      {WideToUtf8(*FirmwareNow), WideToUtf8(strSent)});
}
