#include "UpdateFailure.h"

#include "StageText.h"

namespace {

std::wstring DescribePlace(const CLoadFault& AFault)
{
    switch (AFault.eWhere) {
    case CLoadFault::EWhere::Line: return L" в строке " + std::to_wstring(AFault.uWhere);
    case CLoadFault::EWhere::Offset: return L" по смещению " + std::to_wstring(AFault.uWhere);
    case CLoadFault::EWhere::Size:
        return L": его размер " + std::to_wstring(AFault.uWhere) + L" байт, больше 256 МиБ";
    case CLoadFault::EWhere::None: break;
    }
    return {};
}

} // namespace

std::wstring DescribeDamage(const std::wstring& strFile, const CLoadFault& AFault)
{
    return L"Файл " + strFile + L" повреждён" + DescribePlace(AFault);
}

std::wstring CUpdateFailure::Describe() const
{
    if (eKind == EKind::None)
        return {};
    std::wstring strText = GetStageText(nStage, EStageText::Failed);
    switch (eKind) {
    case EKind::Damaged:
        strText += L" " + DescribeDamage(strFile, AFault) + L". В устройство ничего не отправлено.";
        break;
    case EKind::Silent:
        // A device that answered with a failing status did answer: it
        // refused what it was sent.
        if (strStatus.empty())
            strText += L" Устройство перестало отвечать.";
        else
            strText += L" Устройство не приняло данные. Последний ответ устройства: «" + strStatus + L"».";
        break;
    case EKind::Lost: strText += L" Устройство отключено."; break;
    case EKind::WriteFailed: strText += L" Команду не удалось записать в порт."; break;
    case EKind::NothingToSend: strText += L" В файле нечего отправлять."; break;
    case EKind::Incomplete: strText += L" Не все блоки дошли до устройства: передача прервалась."; break;
    case EKind::None: break;
    }
    return strText;
}
