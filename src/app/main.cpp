// iap-tool: the windowed update program.
#include <QApplication>

#include "DealMsg.h"
#include "Frame_Update.h"
#include "NotifyBridge.h"
#include "ProgramData.h"
#include "SingleInstance.h"
#include "TextCodec.h"
#include "VersionFile.h"
#include "Work_BK.h"

int main(int argc, char** argv)
{
    QApplication AApp(argc, argv);  // the toolkit's own options only; the program takes none
    // The windows run their own modal loops; hiding the main window while the
    // settings dialog opens must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    CSingleInstance AInstance(L"{5A7136DF-3CE5-4278-931A-96E9F480A93B}}");
    if (!AInstance.IsFirst())
        return 0;

    CProgramData AData;
    AData.APaint.SetInstance(PathFromWide(QCoreApplication::applicationFilePath().toStdWString()));
    CPaintManagerUI::SetCurrentPath(AData.APaint.GetInstancePath());
    AData.APaint.SetResourcePath("Skin");
    AData.aVersionTexts = ReadVersionFile("ver.txt");

    // Declared before the worker, so that it outlives every worker thread
    // that may still send a notification.
    CNotifyBridge ABridge;
    CDealMsg ADeal;
    CWork_BK AWork;
    {
        CFrame_Update AFrame(L"frame_Update.xml", AData, ABridge);
        if (AFrame.Create(nullptr, QStringLiteral("IAP Tool")))
            AFrame.ShowModal();
        // The window is gone: a worker waiting for it to handle a
        // notification is released before the shutdown waits for it.
        ABridge.Close();
        AWork.Reset();
        AWork.SetNotifyWnd(nullptr);
        AInstance.Release();
    }
    return 0;
}
