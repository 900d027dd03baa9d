// The words a driver reads, written out here rather than taken from the
// program, so that a changed text is noticed: the fault matrix builds its
// expectations from the program's own texts and relies on this table.
#include <gtest/gtest.h>

#include "DealMsg.h"
#include "StageText.h"
#include "TextCodec.h"
#include "UpdateFailure.h"

TEST(Texts, EveryStageStatusAndFailureReadsAsTheDriverSeesIt)
{
    const char* const kStages[][3] = {
        {"Обновление ПО...", "Обновление ПО прошло успешно!", "Не удалось обновить ПО!"},
        {"Обновление базы камер...", "Обновление базы камер прошло успешно!", "Не удалось обновить базу камер!"},
        {"Обновление звуковых файлов...", "Обновление звуковых файлов прошло успешно!",
         "Не удалось обновить звуковые файлы!"},
        {"Обновление ПО радарной части...", "Обновление ПО радарной части прошло успешно!",
         "Не удалось обновить ПО радарной части!"},
        {"Обновление меню устройства...", "Меню устройства обновлено успешно!", "Не удалось обновить меню устройства!"},
        {"", "Успешно обновлено!", "Ошибка обновления!"},
    };
    for (int nStage = 1; nStage <= 6; ++nStage)
        for (const EStageText eText : {EStageText::Running, EStageText::Succeeded, EStageText::Failed})
            EXPECT_EQ(WideToUtf8(GetStageText(nStage, eText, ELanguage::Russian)), kStages[nStage - 1][static_cast<int>(eText)])
                << "stage " << nStage;
    EXPECT_EQ(WideToUtf8(GetStageText(7, EStageText::Failed, ELanguage::Russian)), "");

    const char* const kStatuses[] = {"命令无效，请重试!\n", "Flash 硬件忙!\n",   "Flash 读保护!\n",
                                     "Flash 写保护!\n",    "参数不足或错误!\n", "目标地址边界错误!\n",
                                     "源地址边界错误!\n"};
    for (std::uint8_t btStatus = 3; btStatus <= 9; ++btStatus)
        EXPECT_EQ(WideToUtf8(CDealMsg::GetStatusText(btStatus)), kStatuses[btStatus - 3]);
    EXPECT_EQ(WideToUtf8(CDealMsg::GetStatusText(2)), "MCU 参数错误!\n");

    using EKind = CUpdateFailure::EKind;
    const struct {
        CUpdateFailure AFailure;
        const char* szSays;
    } kFailures[] = {
        {{EKind::Damaged, 1, L"AC7811_project.hex", {CLoadFault::EWhere::Line, 12, L""}},
         "Не удалось обновить ПО! Файл AC7811_project.hex повреждён в строке 12. В устройство ничего не отправлено."},
        {{EKind::Damaged, 3, L"audioHead.bin", {CLoadFault::EWhere::Offset, 0, L""}},
         "Не удалось обновить звуковые файлы! Файл audioHead.bin повреждён по смещению 0. В устройство ничего не "
         "отправлено."},
        {{EKind::Silent, 2}, "Не удалось обновить базу камер! Устройство перестало отвечать."},
        {{EKind::Silent, 4, {}, {}, L"Flash 写保护!"},
         "Не удалось обновить ПО радарной части! Устройство не приняло данные. Последний ответ устройства: «Flash "
         "写保护!»."},
        {{EKind::Lost, 1}, "Не удалось обновить ПО! Устройство отключено."},
        {{EKind::WriteFailed, 2}, "Не удалось обновить базу камер! Команду не удалось записать в порт."},
        {{EKind::NothingToSend, 1}, "Не удалось обновить ПО! В файле нечего отправлять."},
        {{EKind::Incomplete, 3},
         "Не удалось обновить звуковые файлы! Не все блоки дошли до устройства: передача прервалась."},
        {{EKind::None, 0}, ""},
    };
    for (const auto& ARow : kFailures)
        EXPECT_EQ(WideToUtf8(ARow.AFailure.Describe(ELanguage::Russian)), ARow.szSays);
}
