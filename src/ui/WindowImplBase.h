#pragma once
#include <QMargins>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <span>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "MessageTarget.h"
#include "NotifyWindow.h"
#include "ProgramData.h"
#include "Win32Names.h"

class QEventLoop;


// A control notification: "windowinit", "click", "selectchanged" or
// "itemselect", and the control that sent it.
struct TNotifyUI {
    QString sType;
    QWidget* pSender = nullptr;
};

// The base of the program's windows: a frameless, skinned top-level window
// whose layout is loaded at run time from the skin folder. Controls are
// found by name at each use, so a skin that lacks one still runs.
class WindowImplBase : public QWidget, public CMessageTarget {
    Q_OBJECT
public:
    // pNotify: what the worker notifies this window through (not owned; none
    // for a window the worker does not notify).
    explicit WindowImplBase(CProgramData& AData, CNotifyWindow* pNotify = nullptr);
    ~WindowImplBase() override;

    // Loads the skin, calls the window-created hook, shows the window and
    // delivers "windowinit". False when the skin cannot be loaded.
    bool Create(QWidget* pParent, const QString& strTitle);
    // After a failed Create: which skin file could not be loaded and why,
    // in the user's words.
    const QString& GetSkinError() const { return m_strSkinError; }
    // Tells the user, in a message box over pParent (or alone), that a
    // window cannot be shown, and why.
    static void ShowSkinError(QWidget* pParent, const QString& strError);
    // Runs until Close ends it; answers Close's code.
    int ShowModal();
    void Close(int nCode);
    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    void CenterWindow();
    void SetIcon(int nResource);
    // The target of the worker's notifications for this window; null for a
    // window that was given no bridge.
    CNotifyWindow* GetHWND() const;
    bool IsZoomed() const { return isMaximized(); }

    template <class T = QWidget>
    T* FindControl(const char* szName) const
    {
        return m_pRoot ? m_pRoot->findChild<T*>(QString::fromLatin1(szName)) : nullptr;
    }
    QWidget* FindControlAt(QPoint APoint) const;
    QMargins GetSizeBox() const;
    QMargins GetCaptionRect() const;
    QWidget* GetRoot() const { return m_pRoot.get(); }

    void SetTimer(int nId, int nPeriodMs);
    void KillTimer(int nId);
    // Font k of the skin's font table (root properties font1, font2, ...).
    void SetFont(QWidget* pControl, int nFont) const;
    static void SetTextPadding(QWidget* pControl, const QMargins& APadding);
    static QMargins GetTextPadding(const QWidget* pControl)
    {
        return pControl ? pControl->property("textPadding").value<QMargins>() : QMargins{};
    }
    static bool MoveChildTo(QWidget* pContainer, QWidget* pChild, int nIndex);
    // The kind of a control, in the names the hit test and the skins use
    // ("ButtonUI", "OptionUI", "CheckBoxUI", "ComboUI", "LabelUI", ...).
    static QString GetClass(const QWidget* pControl);

    // A window message, as the worker's notifications and the timers send
    // them; handled on the GUI thread.
    std::intptr_t HandleMessage(std::uint32_t uMsg, std::uintptr_t wParam, std::intptr_t lParam) override;
    // The hit test at a point in client coordinates.
    virtual int OnNcHitTest(QPoint APoint) const;

protected:
    virtual QString GetWindowClassName() const = 0;
    virtual std::wstring GetSkinFile() const = 0;
    // Called once the skin is loaded, before the window is shown.
    virtual void InitWindow() {}
    virtual std::intptr_t HandleCustomMessage(std::uint32_t uMsg, std::uintptr_t wParam, std::intptr_t lParam,
                                              bool& bHandled);
    virtual void Notify(TNotifyUI& AMsg);
    virtual QWidget* CreateControl(const QString& strClass, QWidget* pParent);
    // Control classes that keep their clicks inside the caption.
    virtual std::span<const std::string_view> GetKeepClickClasses() const;
    // Whether a close asked for by the window system may happen now.
    virtual bool CanClose() const { return true; }
    std::filesystem::path GetSkinFolder() const { return m_Data.APaint.GetResourcePath(); }

    void timerEvent(QTimerEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

    CProgramData& m_Data;

private:
    void ConnectNotifications();
    void SendNotify(const char* szType, QWidget* pSender);

    CNotifyWindow* m_pNotify;
    std::unique_ptr<QWidget> m_pRoot;
    std::map<int, int> m_Timers;  // our id -> the toolkit's id
    QEventLoop* m_pLoop = nullptr;
    int m_nCloseCode = 0;
    bool m_bClosed = false;
    QString m_strSkinError;
};
