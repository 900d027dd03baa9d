// iap-tool: the windowed update program.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "Program.h"
#include "SingleInstance.h"
#include "TextCodec.h"
#include "Version.h"

int main(int argc, char** argv)
{
    // Answered before the toolkit starts: they need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("iap-tool %s\n", kIapVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(CProgram::Usage(), stdout);
            return 0;
        }
    }
    QApplication AApp(argc, argv);  // takes the toolkit's own options out
    CProgram::SetIdentity();
    // The windows run their own modal loops; hiding the main window while the
    // settings dialog opens must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    CSingleInstance AInstance(L"{5A7136DF-3CE5-4278-931A-96E9F480A93B}}");
    if (!AInstance.IsFirst())
        return 0;
    QStringList Args = QCoreApplication::arguments();
    Args.removeFirst();
    return CProgram::Run(Args, PathFromWide(QCoreApplication::applicationFilePath().toStdWString()), &AInstance);
}
