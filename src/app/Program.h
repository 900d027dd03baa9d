#pragma once
#include <QStringList>
#include <filesystem>
#include <string>

#include "Language.h"

class CSingleInstance;

// The windowed program from its arguments to its exit status, after the
// toolkit is up and the single-instance rule is taken: finds the skins and
// the update folder, reads "ver.txt", runs the update window and shuts the
// worker down. The GUI thread only.
class CProgram {
public:
    // What --help prints, in one language.
    static std::string Usage(ELanguage eLanguage);
    // Names the program to the desktop and to its settings: the application
    // id (the desktop entry and icon), the name and the version.
    static void SetIdentity();
    // Args are the arguments after the program's name, with the toolkit's
    // own already taken out: at most one folder, and --lang ru|en, the
    // windows' language, kept for the next start. ProgramFile is the
    // program's path. pInstance, when given, is released once the worker
    // has stopped. Answers the exit status: 0 after the window closed, 1
    // when no window could be shown (the user is told why), 64 for a usage
    // error.
    static int Run(const QStringList& Args, const std::filesystem::path& ProgramFile, CSingleInstance* pInstance);
};
