#include "UpdateFailure.h"

#include "StageText.h"
#include "TextCatalog.h"
#include "TextCodec.h"

std::wstring DescribeDamage(const std::wstring& strFile, const CLoadFault& AFault, ELanguage eLanguage)
{
    const std::string strName = WideToUtf8(strFile), strWhere = std::to_string(AFault.uWhere);
    switch (AFault.eWhere) {
    case CLoadFault::EWhere::Line: return FormatWideText(eLanguage, "Файл {1} повреждён в строке {2}", {strName, strWhere});
    case CLoadFault::EWhere::Offset:
        return FormatWideText(eLanguage, "Файл {1} повреждён по смещению {2}", {strName, strWhere});
    case CLoadFault::EWhere::Size:
        return FormatWideText(eLanguage, "Файл {1} повреждён: его размер {2} байт, больше 256 МиБ", {strName, strWhere});
    case CLoadFault::EWhere::None: break;
    }
    return FormatWideText(eLanguage, "Файл {1} повреждён", {strName});
}

std::wstring CUpdateFailure::Describe(ELanguage eLanguage) const
{
    if (eKind == EKind::None)
        return {};
    std::wstring strWhy;
    switch (eKind) {
    case EKind::Damaged:
        strWhy = FormatWideText(eLanguage, "{1}. В устройство ничего не отправлено.",
                                {WideToUtf8(DescribeDamage(strFile, AFault, eLanguage))});
        break;
    case EKind::Silent:
        // A device that answered with a failing status did answer: it
        // refused what it was sent.
        strWhy = strStatus.empty() ? FormatWideText(eLanguage, "Устройство перестало отвечать.")
                                   : FormatWideText(eLanguage, "Устройство не приняло данные. Последний ответ устройства: «{1}».",
                                                    {WideToUtf8(strStatus)});
        break;
    case EKind::Lost: strWhy = FormatWideText(eLanguage, "Устройство отключено."); break;
    case EKind::WriteFailed: strWhy = FormatWideText(eLanguage, "Команду не удалось записать в порт."); break;
    case EKind::NothingToSend: strWhy = FormatWideText(eLanguage, "В файле нечего отправлять."); break;
    case EKind::Incomplete:
        strWhy = FormatWideText(eLanguage, "Не все блоки дошли до устройства: передача прервалась.");
        break;
    case EKind::None: break;
    }
    return GetStageText(nStage, EStageText::Failed, eLanguage) + L" " + strWhy;
}
