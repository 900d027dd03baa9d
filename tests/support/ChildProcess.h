#pragma once
#include <chrono>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <vector>

#include "TestBytes.h"

// A program the tests run, started without a shell. Its standard output and
// error go to a file of its own, which may be read at any time. Still
// running when the object goes, it is ended with SIGTERM and waited for.
// One thread uses an object.
class CChildProcess {
public:
    // Args[0] is the program's path. Each entry of Env ("NAME=value") is set
    // in its environment over this process's own.
    explicit CChildProcess(std::vector<std::string> Args, const std::vector<std::string>& Env = {});
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    bool IsStarted() const { return m_nPid > 0; }
    // Its exit status when it exits by itself within tLimit; -1 when it has
    // not, or was ended by a signal.
    int WaitExit(std::chrono::milliseconds tLimit = std::chrono::minutes(3));
    // Whether it has ended; does not wait.
    bool HasEnded();
    void Signal(int nSignal) const;
    std::string GetOutput() const;
    // Waits until its output holds the text.
    bool WaitOutput(std::string_view strText, std::chrono::milliseconds tLimit) const;

private:
    pid_t m_nPid = -1;
    int m_nStatus = -1; // the wait status once ended
    std::string m_strOutput;
};

// Waits until the condition holds, looking every few milliseconds.
template <class TCondition>
bool PollUntil(TCondition Condition, std::chrono::milliseconds tLimit = std::chrono::seconds(20))
{
    const auto tEnd = std::chrono::steady_clock::now() + tLimit;
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > tEnd)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A program run to its end: its exit status (-1: it did not exit by
// itself) and its output and errors, interleaved.
struct CProgramRun {
    int nExit = -1;
    std::string strOut;
};
CProgramRun RunProgram(std::vector<std::string> Args, const std::vector<std::string>& Env = {});

// The environment of a program that is to speak the language of the locale
// strLang ("C.UTF-8", "ru_RU.UTF-8") whatever the machine's own: LANG, and
// the variables that would override it empty.
std::vector<std::string> LocaleEnv(const std::string& strLang);
