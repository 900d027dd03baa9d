// logind keeps the computer awake while any copy of the descriptor its
// Inhibit call hands out stays open. The bus is needed for that call only:
// it is opened for it and closed after, and the lock lives in our copy of
// the descriptor until Release closes it.
#include "SleepInhibitor.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <string>
#include <system_error>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include "TextCodec.h"

namespace {

// A logind that does not answer (hung, or busy at boot) must not hold the
// front end's thread for sd-bus's default 25 seconds.
constexpr std::uint64_t kCallTimeoutUsec = 5'000'000;

using BusPtr = std::unique_ptr<sd_bus, decltype(&sd_bus_flush_close_unref)>;
using MessagePtr = std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)>;

// The error a failed call fills in, freed on every path.
struct CBusError {
    sd_bus_error AError = SD_BUS_ERROR_NULL;
    CBusError() = default;
    ~CBusError() { sd_bus_error_free(&AError); }
    CBusError(const CBusError&) = delete;
    CBusError& operator=(const CBusError&) = delete;
};

std::wstring Describe(std::string_view szWhat, int nErrno, const sd_bus_error& AError)
{
    std::string strText(szWhat);
    strText += ": ";
    if (sd_bus_error_is_set(&AError)) {
        strText += AError.name;
        if (AError.message != nullptr)
            strText += std::string(" (") + AError.message + ")";
    } else {
        strText += std::generic_category().message(nErrno);
    }
    std::wstring strOut;
    Utf8ToWide(strText, strOut);
    return strOut;
}

} // namespace

bool CSleepInhibitor::AcquireNative(std::wstring_view wzWhy, std::wstring& strWhyNot)
{
    CBusError AError;
    sd_bus* pOpened = nullptr;
    // sd_bus_open_system honours DBUS_SYSTEM_BUS_ADDRESS, as the tests use.
    int nResult = sd_bus_open_system(&pOpened);
    const BusPtr pBus(pOpened, &sd_bus_flush_close_unref);
    if (nResult < 0) {
        strWhyNot = Describe("no system bus", -nResult, AError.AError);
        return false;
    }
    sd_bus_set_method_call_timeout(pBus.get(), kCallTimeoutUsec);

    const std::string strWhy = WideToUtf8(wzWhy);
    sd_bus_message* pAnswered = nullptr;
    nResult = sd_bus_call_method(pBus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                                 "org.freedesktop.login1.Manager", "Inhibit", &AError.AError, &pAnswered, "ssss",
                                 "sleep:idle", "IAP Tool", strWhy.c_str(), "block");
    const MessagePtr pReply(pAnswered, &sd_bus_message_unref);
    if (nResult < 0) {
        strWhyNot = Describe("logind gave no inhibitor lock", -nResult, AError.AError);
        return false;
    }

    // The descriptor belongs to the reply and is closed with it: keep a copy
    // of our own, not inherited by the programs this one starts.
    int fdReply = -1;
    nResult = sd_bus_message_read(pReply.get(), "h", &fdReply);
    const int fdLock = nResult < 0 ? -1 : ::fcntl(fdReply, F_DUPFD_CLOEXEC, 3);
    if (fdLock < 0) {
        strWhyNot = Describe("logind's answer held no lock", nResult < 0 ? -nResult : errno, AError.AError);
        return false;
    }
    m_hLock = fdLock;
    return true;
}

void CSleepInhibitor::ReleaseNative()
{
    ::close(static_cast<int>(m_hLock));
    m_hLock = -1;
}
