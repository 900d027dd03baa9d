#pragma once
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <chrono>
#include <functional>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "DealMsg.h"
#include "EngineTestKit.h"
#include "TempPortDir.h"
#include "Frame_Update.h"
#include "NotifyBridge.h"
#include "ProgramData.h"
#include "Work_BK.h"

// Runs the GUI thread's events until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds tLimit = std::chrono::seconds(30));

// The project's skins and the windows' translations, copied beside the test
// program by the build.
std::filesystem::path GetSkinFolder();
std::filesystem::path GetTranslationFolder();

// Program data whose skins are the project's own (or a given folder's) and
// whose program folder is an update folder.
CProgramData MakeProgramData(const std::filesystem::path& ProgramFolder,
                             const std::filesystem::path& SkinFolder = GetSkinFolder());

QString TextOf(const WindowImplBase& AWindow, const char* szName);
bool IsEnabled(const WindowImplBase& AWindow, const char* szName);
int BarOf(const WindowImplBase& AWindow);
void Click(const WindowImplBase& AWindow, const char* szName);
// Picks a combo item as the user would (the combo sends "itemselect").
void Pick(const WindowImplBase& AWindow, const char* szName, int nIndex);

// Every text the status line showed while the worker's notifications
// arrived: each one is noted when the next reaches the window.
class CStatusRecorder final : public QObject {
public:
    CStatusRecorder(const WindowImplBase& AWindow, CNotifyBridge& ABridge);
    std::set<QString> GetTexts() const;

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;

private:
    const WindowImplBase& m_Window;
    std::set<QString> m_aTexts;
};

// The worker and its message handler as the program has them, the bridge
// before them so that it outlives their threads, and the update window.
struct CUiProgram {
    CProgramData AData;
    CNotifyBridge ABridge;
    CWork_BK AWork;
    std::unique_ptr<CFrame_Update> pFrame;
    std::unique_ptr<CBridgeTarget> pTarget;

    // The program's folder, where its update files are.
    explicit CUiProgram(const std::filesystem::path& ProgramFolder, CWorkSettings ASettings = CEngine::Fast(),
                        const std::filesystem::path& SkinFolder = GetSkinFolder());
    ~CUiProgram();
    bool Open();
    bool WaitReady();
};

// The update window over the real skins with a real worker and no device,
// opened: what most window tests start from.
class CWindowTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_Program.Open()); }
    CFrame_Update& Frame() { return *m_Program.pFrame; }

    CTempPortDir m_Ports;
    CUpdateFolder m_Files;
    CUiProgram m_Program{m_Files.GetPath()};
};

// The device menu dialog's program data; no window is opened.
class CMenuTest : public testing::Test {
protected:
    CUpdateFolder m_Files;
    CProgramData m_Data = MakeProgramData(m_Files.GetPath());
};
