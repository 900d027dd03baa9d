// The windows in each language: every text they show is in it, none is
// left in the other (the skins' texts, the code's, the device menu's
// choices, and what the engine says in them).
#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QStandardPaths>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>

#include "Frame_Set.h"
#include "UiTestKit.h"
#include "WindowLanguage.h"

namespace {

// Every text of a window a user may read: labels, buttons, each combo's
// items, and every control's tool tip and accessible name.
QStringList GatherTexts(const QWidget& AWindow)
{
    QStringList Texts;
    for (const QWidget* pControl : AWindow.findChildren<QWidget*>()) {
        // The folder line is a path, shortened to the label's width, which
        // differs between the languages: no language's text.
        if (pControl->objectName() == QLatin1String("lbl_folder"))
            continue;
        if (const auto* pLabel = qobject_cast<const QLabel*>(pControl))
            Texts << pLabel->text();
        else if (const auto* pButton = qobject_cast<const QAbstractButton*>(pControl))
            Texts << pButton->text();
        else if (const auto* pCombo = qobject_cast<const QComboBox*>(pControl))
            for (int n = 0; n < pCombo->count(); ++n)
                Texts << pCombo->itemText(n);
        Texts << pControl->toolTip() << pControl->accessibleName();
    }
    Texts.removeAll(QString());
    return Texts;
}

bool IsCyrillic(const QString& strText) { return HasCyrillic(strText.toStdString()); }

bool HasLatin(const QString& strText)
{
    return std::any_of(strText.begin(), strText.end(), [](QChar ch) { return ch.isLetter() && ch.unicode() < 0x80; });
}

} // namespace

// The update window after a search that found nothing (what the search
// met below its status), with a stage's text on it, and the device menu
// dialog, as the program shows them under each locale.
TEST(WindowLanguage, EveryTextOfBothWindowsIsInTheLocalesLanguage)
{
    std::map<ELanguage, QStringList> Shown;
    const CUpdateFolder AFiles;
    for (const char* szLocale : {"en_US.UTF-8", "ru_RU.UTF-8"}) {
        const ELanguage eLanguage = GetLanguageOfLocale(szLocale);
        CWindowLanguage ALanguage;
        ASSERT_EQ(ALanguage.Install(eLanguage, GetTranslationFolder()), eLanguage) << szLocale;
        const CTempPortDir APorts;
        CUiProgram AProgram(AFiles.GetPath());
        AProgram.AData.eLanguage = eLanguage;
        ASSERT_TRUE(AProgram.Open());
        ASSERT_TRUE(WaitUntil([&] { return !TextOf(*AProgram.pFrame, "lbl_detail").isEmpty(); })) << szLocale;
        AProgram.pFrame->HandleMessage(WM_STAGE_START, 2, 10);
        Shown[eLanguage] = GatherTexts(*AProgram.pFrame);
        CFrame_Set ASet(L"Frame_Set.xml", AProgram.AData, {}, {});
        ASSERT_TRUE(ASet.Create(nullptr, QStringLiteral("IAP Tool")));
        Shown[eLanguage] << GatherTexts(ASet);
    }
    for (const QString& strText : Shown[ELanguage::English])
        EXPECT_FALSE(IsCyrillic(strText)) << strText.toStdString();
    // In Russian a text in Latin letters alone is one that no language
    // changes: a version, "On", a path (the region names are the device's
    // own, in Chinese).
    for (const QString& strText : Shown[ELanguage::Russian])
        EXPECT_TRUE(IsCyrillic(strText) || !HasLatin(strText) || Shown[ELanguage::English].contains(strText))
            << strText.toStdString();
    for (const char* szSpecified : {"Время обновления: 00:00:00", "Обновление базы камер...", "СМАРТ", "ТУРБО", "ТРАССА",
                                    "ГОРОД", "ТИХИЙ ГОРОД", "МЕГАПОЛИС", "УЛЬТРА К", "Смарт"})
        EXPECT_TRUE(Shown[ELanguage::Russian].contains(QString::fromUtf8(szSpecified))) << szSpecified;
}

// A language chosen with --lang is the one the next start without it takes.
TEST(WindowLanguage, AChosenLanguageIsKeptForTheNextStart)
{
    QStandardPaths::setTestModeEnabled(true);
    // As the program does before it keeps anything: Windows' registry keeps
    // nothing for a program without a name.
    QCoreApplication::setOrganizationName(QStringLiteral("iap-tool-tests"));
    for (const ELanguage eLanguage : {ELanguage::English, ELanguage::Russian, ELanguage::English}) {
        EXPECT_EQ(CWindowLanguage::Choose(eLanguage), eLanguage);
        EXPECT_EQ(CWindowLanguage::Choose(std::nullopt), eLanguage);
    }
}
