#include "MockLogind.h"

#include <cstdlib>
#include <stdexcept>
#include <systemd/sd-bus.h>

CMockLogind::CMockLogind()
{
    m_ABus.emplace(std::vector<std::string>{
        "/usr/bin/dbus-daemon", "--config-file=" IAP_MOCK_BUS_CONFIG, "--nofork", "--nopidfile", "--print-address"});
    // The address, one line, is printed once the bus listens.
    const bool bListening = m_ABus->IsStarted() && m_ABus->WaitOutput("\n", std::chrono::seconds(20));
    const std::string strOutput = m_ABus->GetOutput();
    if (!bListening || strOutput.rfind("unix:", 0) != 0)
        throw std::runtime_error("/usr/bin/dbus-daemon (package dbus-daemon) did not start: " + strOutput);
    m_strAddress = strOutput.substr(0, strOutput.find('\n'));
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", m_strAddress.c_str(), 1);

    // Debian's interpreter, which python3-dbusmock is installed for (a
    // python3 found first on the PATH, such as a pyenv one, has no dbusmock).
    m_AMock.emplace(
        std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind"});
    const auto Answers = [this] { return m_AMock->HasEnded() || ListInhibitors().has_value(); };
    if (!m_AMock->IsStarted() || !PollUntil(Answers, std::chrono::seconds(30)) || m_AMock->HasEnded())
        throw std::runtime_error("/usr/bin/python3 -m dbusmock (package python3-dbusmock) did not serve logind: " +
                                 m_AMock->GetOutput());
}

CMockLogind::~CMockLogind() { ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); }

std::optional<std::vector<CInhibitorEntry>> CMockLogind::ListInhibitors() const
{
    sd_bus* pOpened = nullptr;
    sd_bus_message* pAnswered = nullptr;
    const bool bAnswered = sd_bus_open_system(&pOpened) >= 0 &&
        sd_bus_call_method(pOpened, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "ListInhibitors", nullptr, &pAnswered, "") >= 0;
    const std::unique_ptr<sd_bus, decltype(&sd_bus_flush_close_unref)> pBus(pOpened, &sd_bus_flush_close_unref);
    const std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)> pReply(pAnswered, &sd_bus_message_unref);
    if (!bAnswered || sd_bus_message_enter_container(pAnswered, SD_BUS_TYPE_ARRAY, "(ssssuu)") < 0)
        return std::nullopt;
    std::vector<CInhibitorEntry> Entries;
    const char* szField[4] = {};
    std::uint32_t uUid = 0, uPid = 0;
    int nResult = 0;
    while ((nResult = sd_bus_message_read(pAnswered, "(ssssuu)", &szField[0], &szField[1], &szField[2], &szField[3],
                                          &uUid, &uPid)) > 0)
        Entries.push_back({szField[0], szField[1], szField[2], szField[3]});
    return nResult < 0 ? std::nullopt : std::optional(Entries);
}
