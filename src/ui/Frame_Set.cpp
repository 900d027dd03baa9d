#include "Frame_Set.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>

#include "SettingsChoices.h"
#include "SkinLoader.h"

namespace {

constexpr int kPages = 5;
constexpr const char* aPageOptions[kPages] = {"option_frame_1_1", "option_frame_1_2", "option_frame_1_3",
                                              "option_frame_1_4", "option_frame_1_5"};
constexpr int kFontNormal = 3;
constexpr int kFontChosen = 4;

// A tab layout of the skin may be a stacked widget or a tab widget.
void ShowTabPage(QWidget* pTab, int nPage)
{
    if (auto* pStack = qobject_cast<QStackedWidget*>(pTab))
        pStack->setCurrentIndex(nPage);
    else if (auto* pTabs = qobject_cast<QTabWidget*>(pTab))
        pTabs->setCurrentIndex(nPage);
}

} // namespace

CFrame_Set::CFrame_Set(std::wstring strSkinFile, CProgramData& AData, const CSettingsBlock& ADeviceG,
                       const CSettingsBlock& ADeviceI)
    : WindowImplBase(AData), m_strSkinFile(std::move(strSkinFile)), m_aCopyG(ADeviceG), m_aCopyI(ADeviceI)
{
}

QWidget* CFrame_Set::CreateControl(const QString& strClass, QWidget* pParent)
{
    for (const char* szClass : {"Frame_Set_Client_1", "Frame_Set_Client_2"})
        if (strClass.compare(QLatin1String(szClass), Qt::CaseInsensitive) == 0) {
            CSkinLoader ALoader;
            return ALoader.Create(GetSkinFolder() / (std::string(szClass) + ".xml"), pParent).release();
        }
    return nullptr;
}

std::span<const std::string_view> CFrame_Set::GetKeepClickClasses() const
{
    static constexpr std::string_view aClasses[] = {"ButtonUI", "OptionUI",   "SliderUI",  "EditUI",
                                                    "RichEditUI", "ComboUI", "CheckBoxUI"};
    return aClasses;
}

void CFrame_Set::Notify(TNotifyUI& AMsg)
{
    const QString strName = AMsg.pSender ? AMsg.pSender->objectName() : QString();
    if (AMsg.sType == QLatin1String("windowinit"))
        OnWindowInit();
    else if (AMsg.sType == QLatin1String("click"))
        OnClick(strName);
    else if (AMsg.sType == QLatin1String("selectchanged"))
        OnSelectChanged(strName);
    else if (AMsg.sType == QLatin1String("itemselect"))
        OnItemSelect(strName);
    WindowImplBase::Notify(AMsg);
}

void CFrame_Set::OnWindowInit()
{
    m_aEdited = m_Data.aSharedSettings;
    if (QWidget* pTab = FindControl("tab_main")) {
        ShowTabPage(pTab, 0);
        ArrangeHeaders(0);
    }
    FillCombos();
    SwitchPage(1);
    LoadCheckBoxes();
    // The dialog is a window of its own on the task bar: the program's icon.
    SetIcon(108);
}

void CFrame_Set::FillCombos()
{
    for (const CComboChoice& AChoice : GetComboChoices()) {
        auto* pCombo = FindControl<QComboBox>(AChoice.szName);
        if (pCombo == nullptr)
            continue;
        pCombo->clear();
        for (const QString& strText : AChoice.MakeTexts())
            pCombo->addItem(strText, AChoice.bUserData ? QVariant(strText) : QVariant());
        pCombo->setCurrentIndex(AChoice.nPreselect);
    }
}

void CFrame_Set::SwitchPage(int nPage)
{
    if (nPage != m_nCurrentPage) {
        StorePage(m_nCurrentPage);
        m_nCurrentPage = nPage;
    }
    if (nPage < 1 || nPage >= kPages)
        return;
    for (const CComboChoice& AChoice : GetComboChoices())
        if (AChoice.IsPerPage())
            if (auto* pCombo = FindControl<QComboBox>(AChoice.szName))
                // A device may report any value. An index the list lacks
                // leaves the combo without a selection, and storing the page
                // then keeps the device's value rather than inventing one.
                pCombo->setCurrentIndex(m_aEdited[static_cast<std::size_t>(AChoice.nOffset + nPage - 1)]);
}

void CFrame_Set::StorePage(int nPage)
{
    if (nPage < 1 || nPage >= kPages)
        return;
    for (const CComboChoice& AChoice : GetComboChoices())
        if (AChoice.IsPerPage())
            if (const auto* pCombo = FindControl<QComboBox>(AChoice.szName); pCombo && pCombo->currentIndex() >= 0)
                m_aEdited[static_cast<std::size_t>(AChoice.nOffset + nPage - 1)] =
                    static_cast<std::uint8_t>(pCombo->currentIndex());
}

void CFrame_Set::LoadCheckBoxes()
{
    const auto aNames = GetCheckBoxNames();
    for (std::size_t n = 0; n < aNames.size(); ++n)
        if (auto* pBox = FindControl<QCheckBox>(aNames[n]))
            pBox->setChecked(m_aEdited[kCheckBoxOffset + n] == 0);
}

void CFrame_Set::StoreCheckBoxes()
{
    const auto aNames = GetCheckBoxNames();
    for (std::size_t n = 0; n < aNames.size(); ++n)
        if (const auto* pBox = FindControl<QCheckBox>(aNames[n]))
            m_aEdited[kCheckBoxOffset + n] = pBox->isChecked() ? 0 : 1;
}

void CFrame_Set::EnableCheckBoxes(bool bEnable)
{
    for (const char* szName : GetCheckBoxNames())
        if (auto* pBox = FindControl<QCheckBox>(szName))
            pBox->setEnabled(bEnable);
}

void CFrame_Set::ReloadFrom(const CSettingsBlock& ABlock)
{
    m_aEdited = ABlock;
    SwitchPage(m_nCurrentPage);
    LoadCheckBoxes();
}

void CFrame_Set::OnClick(const QString& strName)
{
    if (strName == QLatin1String("btn_ok")) {
        StorePage(m_nCurrentPage);
        StoreCheckBoxes();
        m_Data.aSharedSettings = m_aEdited;
        Close(1);
    } else if (strName == QLatin1String("btn_cancel")) {
        Close(1);
    } else if (strName == QLatin1String("btn_rdsfd")) {
        ReloadFrom(m_aCopyG);
    } else if (strName == QLatin1String("btn_dfs")) {
        ReloadFrom(m_aCopyI);
    }
}

void CFrame_Set::OnSelectChanged(const QString& strName)
{
    if (strName == QLatin1String("option_main_1") || strName == QLatin1String("option_main_2")) {
        const int nMain = strName == QLatin1String("option_main_1") ? 0 : 1;
        if (QWidget* pTab = FindControl("tab_main"))
            ShowTabPage(pTab, nMain);
        ArrangeHeaders(nMain);
        return;
    }
    int nPage = -1;
    QWidget* aOptions[kPages] = {};
    for (int n = 0; n < kPages; ++n) {
        aOptions[n] = FindControl(aPageOptions[n]);
        if (strName == QLatin1String(aPageOptions[n]))
            nPage = n;
    }
    if (nPage < 0 || std::find(std::begin(aOptions), std::end(aOptions), nullptr) != std::end(aOptions))
        return;
    for (int n = 0; n < kPages; ++n)
        SetFont(aOptions[n], n == nPage ? kFontChosen : kFontNormal);
    SwitchPage(nPage);
}

void CFrame_Set::ArrangeHeaders(int nPage)
{
    QWidget* pLayout = FindControl("hlyr_mainoption");
    QWidget* pFirst = FindControl("option_main_1");
    QWidget* pSecond = FindControl("option_main_2");
    if (pLayout == nullptr || pFirst == nullptr || pSecond == nullptr)
        return;
    // The option of the shown page comes last and so is drawn over its
    // neighbour.
    if (nPage == 0) {
        SetTextPadding(pFirst, {0, 0, 0, 0});
        SetTextPadding(pSecond, {0, 0, -40, 0});
        MoveChildTo(pLayout, pSecond, 0);
        MoveChildTo(pLayout, pFirst, 1);
    } else {
        SetTextPadding(pFirst, {-80, 0, 0, 0});
        SetTextPadding(pSecond, {0, 0, 0, 0});
        MoveChildTo(pLayout, pFirst, 0);
        MoveChildTo(pLayout, pSecond, 1);
    }
}

void CFrame_Set::OnItemSelect(const QString& strName)
{
    if (strName == QLatin1String("como_frame1_gpsdata")) {
        if (const auto* pCombo = FindControl<QComboBox>("como_frame1_gpsdata"))
            EnableCheckBoxes(pCombo->currentIndex() != 1);
    } else if (strName == QLatin1String("como_frame1_3")) {
        const auto* pCombo = FindControl<QComboBox>("como_frame1_3");
        if (QWidget* pLevel = FindControl("como_frame1_content_7_1"); pCombo != nullptr && pLevel != nullptr)
            pLevel->setEnabled(pCombo->currentIndex() == 0);
    }
}

void CFrame_Set::keyPressEvent(QKeyEvent* pEvent)
{
    // As in any dialog: Enter presses the button that has the focus, else
    // saves; Esc cancels. Keys a control uses itself never come here.
    const char* szButton = nullptr;
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter)
        szButton = "btn_ok";
    else if (pEvent->key() == Qt::Key_Escape)
        szButton = "btn_cancel";
    if (szButton == nullptr)
        return WindowImplBase::keyPressEvent(pEvent);
    auto* pFocused = qobject_cast<QPushButton*>(focusWidget());
    if (pFocused == nullptr || pEvent->key() == Qt::Key_Escape)
        pFocused = FindControl<QPushButton>(szButton);
    if (pFocused != nullptr && pFocused->isEnabled())
        pFocused->click();
}
