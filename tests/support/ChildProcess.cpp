#include "ChildProcess.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

CChildProcess::CChildProcess(std::vector<std::string> Args, const std::vector<std::string>& Env)
{
    std::vector<std::string> Environment;
    for (char** pp = environ; *pp != nullptr; ++pp) {
        const std::string_view strEntry = *pp;
        const auto IsSet = [&](const std::string& str) {
            return strEntry.substr(0, strEntry.find('=') + 1) == str.substr(0, str.find('=') + 1);
        };
        if (std::none_of(Env.begin(), Env.end(), IsSet))
            Environment.emplace_back(strEntry);
    }
    Environment.insert(Environment.end(), Env.begin(), Env.end());
    std::vector<char*> pArgs, pEnv;
    for (std::string& str : Args)
        pArgs.push_back(str.data());
    for (std::string& str : Environment)
        pEnv.push_back(str.data());
    pArgs.push_back(nullptr);
    pEnv.push_back(nullptr);

    m_strOutput = (std::filesystem::temp_directory_path() / "iap-child-XXXXXX").string();
    const int fdOutput = ::mkstemp(m_strOutput.data());
    posix_spawn_file_actions_t AActions;
    posix_spawn_file_actions_init(&AActions);
    posix_spawn_file_actions_adddup2(&AActions, fdOutput, 1);
    posix_spawn_file_actions_adddup2(&AActions, fdOutput, 2);
    if (fdOutput < 0 || ::posix_spawn(&m_nPid, pArgs[0], &AActions, nullptr, pArgs.data(), pEnv.data()) != 0)
        m_nPid = -1;
    posix_spawn_file_actions_destroy(&AActions);
    if (fdOutput >= 0)
        ::close(fdOutput);
}

CChildProcess::~CChildProcess()
{
    if (IsStarted() && !HasEnded()) {
        Signal(SIGTERM);
        ::waitpid(m_nPid, nullptr, 0);
    }
    ::unlink(m_strOutput.c_str());
}

bool CChildProcess::HasEnded()
{
    return m_nStatus != -1 || (IsStarted() && ::waitpid(m_nPid, &m_nStatus, WNOHANG) == m_nPid);
}

int CChildProcess::WaitExit(std::chrono::milliseconds tLimit)
{
    if (!IsStarted() || !PollUntil([this] { return HasEnded(); }, tLimit))
        return -1;
    return WIFEXITED(m_nStatus) ? WEXITSTATUS(m_nStatus) : -1;
}

void CChildProcess::Signal(int nSignal) const
{
    if (IsStarted())
        ::kill(m_nPid, nSignal);
}

std::string CChildProcess::GetOutput() const { return ReadWholeFile(m_strOutput); }

std::vector<std::string> LocaleEnv(const std::string& strLang)
{
    return {"LC_ALL=", "LC_MESSAGES=", "LANG=" + strLang};
}

bool CChildProcess::WaitOutput(std::string_view strText, std::chrono::milliseconds tLimit) const
{
    return PollUntil([&] { return GetOutput().find(strText) != std::string::npos; }, tLimit);
}

CProgramRun RunProgram(std::vector<std::string> Args, const std::vector<std::string>& Env)
{
    CChildProcess AChild(std::move(Args), Env);
    const int nExit = AChild.WaitExit();
    return {nExit, AChild.GetOutput()};
}
