#pragma once
#include "WindowImplBase.h"

// The device settings dialog: edits a copy of the shared device menu page by
// page, can reload it from either block the device reported (ADeviceG,
// ADeviceI: copied when the dialog is made), and writes it back on OK for
// the next update to hand to the device.
class CFrame_Set final : public WindowImplBase {
    Q_OBJECT
public:
    CFrame_Set(std::wstring strSkinFile, CProgramData& AData, const CSettingsBlock& ADeviceG,
               const CSettingsBlock& ADeviceI);

    const CSettingsBlock& GetEditedBlock() const { return m_aEdited; }
    int GetCurrentPage() const { return m_nCurrentPage; }

protected:
    QString GetWindowClassName() const override { return QStringLiteral("CFrame_Set"); }
    std::wstring GetSkinFile() const override { return m_strSkinFile; }
    void InitWindow() override { CenterWindow(); }
    void Notify(TNotifyUI& AMsg) override;
    QWidget* CreateControl(const QString& strClass, QWidget* pParent) override;
    std::span<const std::string_view> GetKeepClickClasses() const override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void OnWindowInit();
    void OnClick(const QString& strName);
    void OnSelectChanged(const QString& strName);
    void OnItemSelect(const QString& strName);
    void FillCombos();
    void SwitchPage(int nPage);
    void StorePage(int nPage);
    void LoadCheckBoxes();
    void StoreCheckBoxes();
    void ReloadFrom(const CSettingsBlock& ABlock);
    void ArrangeHeaders(int nPage);
    void EnableCheckBoxes(bool bEnable);

    std::wstring m_strSkinFile;
    CSettingsBlock m_aCopyG{};
    CSettingsBlock m_aCopyI{};
    CSettingsBlock m_aEdited{};
    int m_nCurrentPage = 1;
};
