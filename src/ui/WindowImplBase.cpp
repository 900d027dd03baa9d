#include "WindowImplBase.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <QWindow>

#include "HitTest.h"
#include "SkinLoader.h"
#include "TextCodec.h"

namespace {

// "l,t,r,b" as the skins write rectangles.
QMargins ParseRect(const QVariant& AValue)
{
    const QStringList aParts = AValue.toString().split(',');
    if (aParts.size() != 4)
        return {};
    return {aParts[0].trimmed().toInt(), aParts[1].trimmed().toInt(), aParts[2].trimmed().toInt(),
            aParts[3].trimmed().toInt()};
}

Qt::Edges EdgesOf(int nHit)
{
    switch (nHit) {
    case HTLEFT: return Qt::LeftEdge;
    case HTRIGHT: return Qt::RightEdge;
    case HTTOP: return Qt::TopEdge;
    case HTBOTTOM: return Qt::BottomEdge;
    case HTTOPLEFT: return Qt::TopEdge | Qt::LeftEdge;
    case HTTOPRIGHT: return Qt::TopEdge | Qt::RightEdge;
    case HTBOTTOMLEFT: return Qt::BottomEdge | Qt::LeftEdge;
    case HTBOTTOMRIGHT: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
    }
}

bool IsOption(const QAbstractButton* pButton)
{
    return qobject_cast<const QRadioButton*>(pButton) != nullptr ||
           (pButton->isCheckable() && pButton->autoExclusive() && qobject_cast<const QCheckBox*>(pButton) == nullptr);
}

} // namespace

WindowImplBase::WindowImplBase(CProgramData& AData, CNotifyWindow* pNotify)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_Data(AData), m_pNotify(pNotify)
{
}

WindowImplBase::~WindowImplBase() = default;

bool WindowImplBase::Create(QWidget* pParent, const QString& strTitle)
{
    if (pParent != nullptr)
        setParent(pParent, windowFlags());
    setWindowTitle(strTitle);
    setObjectName(GetWindowClassName());
    CSkinLoader ALoader([this](const QString& strClass, QWidget* pParentOf) {
        return CreateControl(strClass, pParentOf);
    });
    const std::filesystem::path SkinFile = GetSkinFolder() / GetSkinFile();
    m_pRoot = ALoader.Create(SkinFile, this);
    if (!m_pRoot) {
        m_strSkinError = QCoreApplication::translate("WindowImplBase", "Не удалось загрузить оформление окна из файла\n%1:\n%2")
                             .arg(QString::fromStdWString(PathToWide(SkinFile.lexically_normal())), ALoader.GetError());
        return false;
    }
    auto* pLayout = new QVBoxLayout(this);  // owned by this window
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pRoot.get());
    resize(m_pRoot->size());
    ConnectNotifications();
    m_bClosed = false;
    InitWindow();
    show();
    SendNotify("windowinit", m_pRoot.get());
    return true;
}

void WindowImplBase::ShowSkinError(QWidget* pParent, const QString& strError)
{
    QMessageBox::critical(pParent, QStringLiteral("IAP Tool"), strError);
}

void WindowImplBase::ConnectNotifications()
{
    for (QAbstractButton* pButton : m_pRoot->findChildren<QAbstractButton*>()) {
        connect(pButton, &QAbstractButton::clicked, this, [this, pButton] { SendNotify("click", pButton); });
        if (IsOption(pButton))
            connect(pButton, &QAbstractButton::toggled, this, [this, pButton](bool bOn) {
                if (bOn)
                    SendNotify("selectchanged", pButton);
            });
    }
    for (QComboBox* pCombo : m_pRoot->findChildren<QComboBox*>())
        connect(pCombo, &QComboBox::activated, this, [this, pCombo] { SendNotify("itemselect", pCombo); });
}

void WindowImplBase::SendNotify(const char* szType, QWidget* pSender)
{
    TNotifyUI AMsg{QString::fromLatin1(szType), pSender};
    Notify(AMsg);
}

int WindowImplBase::ShowModal()
{
    if (m_bClosed)
        return m_nCloseCode;
    if (!isVisible())
        show();
    QEventLoop ALoop;
    m_pLoop = &ALoop;
    const int nCode = ALoop.exec();
    m_pLoop = nullptr;
    return nCode;
}

void WindowImplBase::Close(int nCode)
{
    m_nCloseCode = nCode;
    m_bClosed = true;
    hide();
    if (m_pLoop != nullptr)
        m_pLoop->exit(nCode);
}

void WindowImplBase::ShowWindow(bool bShow, bool bTakeFocus)
{
    setVisible(bShow);
    if (bShow && bTakeFocus) {
        raise();
        activateWindow();
    }
}

void WindowImplBase::CenterWindow()
{
    const QScreen* pScreen = screen();
    if (pScreen == nullptr)
        return;
    QRect AFrame = frameGeometry();
    AFrame.moveCenter(pScreen->availableGeometry().center());
    move(AFrame.topLeft());
}

void WindowImplBase::SetIcon(int nResource)
{
    // The skin holds the icon drawn at the sizes a desktop asks for
    // (icon<n>-16.png to icon<n>-256.png); the desktop picks among them.
    QIcon AImage;
    const std::wstring strStem = L"icon" + std::to_wstring(nResource) + L"-";
    for (const int nSize : {16, 24, 32, 48, 64, 128, 256}) {
        const std::filesystem::path AFile = GetSkinFolder() / (strStem + std::to_wstring(nSize) + L".png");
        if (std::filesystem::exists(AFile))
            AImage.addFile(QString::fromStdWString(PathToWide(AFile)), QSize(nSize, nSize));
    }
    if (!AImage.isNull())
        setWindowIcon(AImage);
}

CNotifyWindow* WindowImplBase::GetHWND() const { return m_pNotify; }

QWidget* WindowImplBase::FindControlAt(QPoint APoint) const { return childAt(APoint); }

QMargins WindowImplBase::GetSizeBox() const
{
    return m_pRoot ? ParseRect(m_pRoot->property("sizebox")) : QMargins{};
}

QMargins WindowImplBase::GetCaptionRect() const
{
    return m_pRoot ? ParseRect(m_pRoot->property("caption")) : QMargins{};
}

void WindowImplBase::SetTimer(int nId, int nPeriodMs)
{
    KillTimer(nId);
    m_Timers[nId] = startTimer(nPeriodMs);
}

void WindowImplBase::KillTimer(int nId)
{
    const auto it = m_Timers.find(nId);
    if (it == m_Timers.end())
        return;
    killTimer(it->second);
    m_Timers.erase(it);
}

void WindowImplBase::timerEvent(QTimerEvent* pEvent)
{
    for (const auto& [nId, nToolkitId] : m_Timers)
        if (nToolkitId == pEvent->timerId()) {
            HandleMessage(WM_TIMER, static_cast<std::uintptr_t>(nId), 0);
            return;
        }
    QWidget::timerEvent(pEvent);
}

void WindowImplBase::SetFont(QWidget* pControl, int nFont) const
{
    if (pControl == nullptr || !m_pRoot)
        return;
    const QVariant AFont = m_pRoot->property(("font" + std::to_string(nFont)).c_str());
    if (AFont.canConvert<QFont>())
        pControl->setFont(AFont.value<QFont>());
}

void WindowImplBase::SetTextPadding(QWidget* pControl, const QMargins& APadding)
{
    if (pControl == nullptr)
        return;
    // Kept as a property as well: a style sheet that manages the control's
    // padding overrides its margins, and a skin may style on the property.
    pControl->setProperty("textPadding", QVariant::fromValue(APadding));
    pControl->setContentsMargins(APadding);
}

bool WindowImplBase::MoveChildTo(QWidget* pContainer, QWidget* pChild, int nIndex)
{
    auto* pLayout = pContainer ? qobject_cast<QBoxLayout*>(pContainer->layout()) : nullptr;
    if (pLayout == nullptr || pChild == nullptr || pLayout->indexOf(pChild) < 0)
        return false;
    pLayout->removeWidget(pChild);
    pLayout->insertWidget(nIndex, pChild);
    return true;
}

QString WindowImplBase::GetClass(const QWidget* pControl)
{
    if (pControl == nullptr)
        return {};
    if (const auto* pButton = qobject_cast<const QAbstractButton*>(pControl)) {
        if (qobject_cast<const QCheckBox*>(pButton) != nullptr)
            return QStringLiteral("CheckBoxUI");
        return IsOption(pButton) ? QStringLiteral("OptionUI") : QStringLiteral("ButtonUI");
    }
    // A combo's own parts (its line edit, its list) count as the combo.
    for (const QWidget* p = pControl; p != nullptr && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<const QComboBox*>(p) != nullptr)
            return QStringLiteral("ComboUI");
    if (qobject_cast<const QAbstractSlider*>(pControl) != nullptr)
        return QStringLiteral("SliderUI");
    if (qobject_cast<const QLineEdit*>(pControl) != nullptr)
        return QStringLiteral("EditUI");
    if (qobject_cast<const QTextEdit*>(pControl) != nullptr || qobject_cast<const QPlainTextEdit*>(pControl) != nullptr)
        return QStringLiteral("RichEditUI");
    if (qobject_cast<const QProgressBar*>(pControl) != nullptr)
        return QStringLiteral("ProgressUI");
    if (qobject_cast<const QLabel*>(pControl) != nullptr)
        return QStringLiteral("LabelUI");
    if (qobject_cast<const QStackedWidget*>(pControl) != nullptr || qobject_cast<const QTabWidget*>(pControl) != nullptr)
        return QStringLiteral("TabLayoutUI");
    return QStringLiteral("ContainerUI");
}

std::intptr_t WindowImplBase::HandleMessage(std::uint32_t uMsg, std::uintptr_t wParam, std::intptr_t lParam)
{
    bool bHandled = false;
    return HandleCustomMessage(uMsg, wParam, lParam, bHandled);
}

std::intptr_t WindowImplBase::HandleCustomMessage(std::uint32_t, std::uintptr_t, std::intptr_t, bool& bHandled)
{
    bHandled = false;
    return 0;
}

void WindowImplBase::Notify(TNotifyUI& AMsg)
{
    // The skins' minimise button works in every window.
    if (AMsg.sType == QLatin1String("click") && AMsg.pSender != nullptr &&
        AMsg.pSender->objectName() == QLatin1String("btn_min"))
        showMinimized();
}

QWidget* WindowImplBase::CreateControl(const QString&, QWidget*) { return nullptr; }

std::span<const std::string_view> WindowImplBase::GetKeepClickClasses() const
{
    static constexpr std::string_view aClasses[] = {"ButtonUI", "OptionUI",   "SliderUI",
                                                    "EditUI",   "RichEditUI", "ComboUI"};
    return aClasses;
}

int WindowImplBase::OnNcHitTest(QPoint APoint) const
{
    return CalcHitTest({APoint, rect(), GetSizeBox(), GetCaptionRect(), IsZoomed(), GetClass(FindControlAt(APoint))},
                       GetKeepClickClasses());
}

void WindowImplBase::mousePressEvent(QMouseEvent* pEvent)
{
    QWindow* pWindow = windowHandle();
    if (pEvent->button() != Qt::LeftButton || pWindow == nullptr)
        return QWidget::mousePressEvent(pEvent);
    const int nHit = OnNcHitTest(pEvent->position().toPoint());
    if (nHit == HTCAPTION)
        pWindow->startSystemMove();
    else if (const Qt::Edges AEdges = EdgesOf(nHit))
        pWindow->startSystemResize(AEdges);
    else
        QWidget::mousePressEvent(pEvent);
}

void WindowImplBase::closeEvent(QCloseEvent* pEvent)
{
    if (!CanClose())
        return pEvent->ignore();
    pEvent->accept();
    Close(0);
}
