#pragma once
// A mock logind on a private system bus, for the tests that check the
// computer is kept awake (POSIX only: dbus-daemon and python3-dbusmock run
// as child processes).
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

// One inhibitor lock as logind lists it.
struct CInhibitorEntry {
    std::string strWhat, strWho, strWhy, strMode;
    bool operator==(const CInhibitorEntry&) const = default;
};

// Starts a dbus-daemon of the system type of its own and dbusmock's logind
// template on it, and waits until the mock answers. While the object lives,
// DBUS_SYSTEM_BUS_ADDRESS names that bus in this process, so the code under
// test and every program started from here (CChildProcess passes the
// variable on) meet the mock instead of the computer's logind; the
// destructor unsets it and ends the mock and the bus.
// Throws std::runtime_error, with the child's own words, when the bus or
// the mock cannot start: a test never passes without having met the mock.
// One thread uses an object.
class CMockLogind {
public:
    CMockLogind();
    ~CMockLogind(); // not copyable: it owns its children

    // The bus's address, as DBUS_SYSTEM_BUS_ADDRESS holds it.
    const std::string& GetAddress() const { return m_strAddress; }
    // The inhibitor locks the mock holds now, asked over the bus that
    // DBUS_SYSTEM_BUS_ADDRESS names; nothing when it does not answer.
    std::optional<std::vector<CInhibitorEntry>> ListInhibitors() const;

private:
    std::string m_strAddress;
    // Declared in this order so that the mock ends before its bus.
    std::optional<CChildProcess> m_ABus, m_AMock;
};
