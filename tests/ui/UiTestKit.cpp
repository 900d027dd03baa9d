#include "UiTestKit.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <thread>

#include "TextCodec.h"

bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds tLimit)
{
    const auto tEnd = std::chrono::steady_clock::now() + tLimit;
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > tEnd)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::filesystem::path GetSkinFolder()
{
    return PathFromWide(QCoreApplication::applicationDirPath().toStdWString()) / "Skin";
}

std::filesystem::path GetTranslationFolder()
{
    return PathFromWide(QCoreApplication::applicationDirPath().toStdWString()) / "translations";
}

CProgramData MakeProgramData(const std::filesystem::path& ProgramFolder, const std::filesystem::path& SkinFolder)
{
    CProgramData AData;
    AData.APaint.SetInstance(ProgramFolder / "iap-tool");
    AData.APaint.SetResourcePath(SkinFolder);
    AData.pSource = OpenUpdateSource(ProgramFolder);
    return AData;
}

QString TextOf(const WindowImplBase& AWindow, const char* szName)
{
    if (const auto* pLabel = AWindow.FindControl<QLabel>(szName))
        return pLabel->text();
    ADD_FAILURE() << "no label " << szName;
    return {};
}

bool IsEnabled(const WindowImplBase& AWindow, const char* szName)
{
    const QWidget* pControl = AWindow.FindControl(szName);
    EXPECT_NE(pControl, nullptr) << szName;
    return pControl != nullptr && pControl->isEnabled();
}

int BarOf(const WindowImplBase& AWindow)
{
    const auto* pBar = AWindow.FindControl<QProgressBar>("prog_step");
    return pBar ? pBar->value() : -1;
}

void Click(const WindowImplBase& AWindow, const char* szName)
{
    auto* pButton = AWindow.FindControl<QAbstractButton>(szName);
    ASSERT_NE(pButton, nullptr) << szName;
    pButton->click();
}

void Pick(const WindowImplBase& AWindow, const char* szName, int nIndex)
{
    auto* pCombo = AWindow.FindControl<QComboBox>(szName);
    ASSERT_NE(pCombo, nullptr) << szName;
    pCombo->setCurrentIndex(nIndex);
    emit pCombo->activated(nIndex);
}

CUiProgram::CUiProgram(const std::filesystem::path& ProgramFolder, CWorkSettings ASettings,
                       const std::filesystem::path& SkinFolder)
    : AData(MakeProgramData(ProgramFolder, SkinFolder))
{
    AWork.SetWorkSettings(ASettings);
    pFrame = std::make_unique<CFrame_Update>(L"frame_Update.xml", AData, ABridge, AWork);
    pTarget = std::make_unique<CBridgeTarget>(ABridge, *pFrame);
}

CUiProgram::~CUiProgram()
{
    // The entry's shutdown order.
    ABridge.Close();
    AWork.Reset();
    AWork.SetNotifyWnd(nullptr);
    pTarget.reset();
    pFrame.reset();
}

bool CUiProgram::Open() { return pFrame->Create(nullptr, QStringLiteral("IAP Tool")); }

bool CUiProgram::WaitReady()
{
    return WaitUntil([this] { return IsEnabled(*pFrame, "btn_update") && IsEnabled(*pFrame, "btn_settings"); });
}

CStatusRecorder::CStatusRecorder(const WindowImplBase& AWindow, CNotifyBridge& ABridge) : m_Window(AWindow)
{
    ABridge.installEventFilter(this);
}

bool CStatusRecorder::eventFilter(QObject*, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::MetaCall)
        m_aTexts.insert(TextOf(m_Window, "lbl_status"));
    return false;
}

std::set<QString> CStatusRecorder::GetTexts() const
{
    std::set<QString> aTexts = m_aTexts;
    aTexts.insert(TextOf(m_Window, "lbl_status"));
    return aTexts;
}
