// iap-tool: the windowed update program.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Program.h"
#include "SingleInstance.h"
#include "TextCodec.h"
#include "Version.h"
#include "WindowLanguage.h"

int main(int argc, char** argv)
{
    // Named first: the language kept from an earlier start is in the
    // settings under this name.
    CProgram::SetIdentity();
    // Answered before the toolkit starts: they need no display.
    const std::vector<std::string> Args(argv + 1, argv + argc);
    for (const std::string& strArg : Args) {
        if (strArg == "--version") {
            std::printf("iap-tool %s\n", kIapVersion);
            return 0;
        }
        if (strArg == "--help" || strArg == "-h") {
            const ELanguage eLanguage = CCommandLine::FindLanguageOption(Args).value_or(
                CWindowLanguage::Recall().value_or(GetSystemLanguage()));
            std::fputs(CProgram::Usage(eLanguage).c_str(), stdout);
            return 0;
        }
    }
    QApplication AApp(argc, argv);  // takes the toolkit's own options out
    // The windows run their own modal loops; hiding the main window while the
    // settings dialog opens must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    CSingleInstance AInstance(L"{5A7136DF-3CE5-4278-931A-96E9F480A93B}}");
    if (!AInstance.IsFirst())
        return 0;
    QStringList Arguments = QCoreApplication::arguments();
    Arguments.removeFirst();
    return CProgram::Run(Arguments, PathFromWide(QCoreApplication::applicationFilePath().toStdWString()), &AInstance);
}
