// The worker around the protocol, against the virtual device on a
// pseudo-terminal: the search, the threads and the port. The protocol's own
// rules are ProtocolTest's; whole updates through the worker, and what the
// device keeps of them, are the fault matrix's and the soak's.
#include <gtest/gtest.h>

#include "DeviceTestKit.h"

using namespace std::chrono_literals;

// The information request is asked five times in all; a device that never
// answers one is not taken, and the search goes on and says what it met.
TEST(Work, ADeviceThatNeverSendsItsInformationIsNotTaken)
{
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    CSimOptions AOptions;
    AOptions.nLoseInfo = -1;
    const auto pDevice = StartDevice(APorts.GetPath(), 3, AOptions);
    CEngine AEngine;
    EXPECT_EQ(AEngine.AWork.StartUpdate(), EStartResult::NotConnected);
    AEngine.Start(AFiles, 6);
    // Two searches: each probes, asks five times and gives the port up.
    ASSERT_TRUE(pDevice->WaitForFrames(12, 20s));
    const std::vector<CPortFinding> Findings = AEngine.AWork.GetSearchFindings();
    ASSERT_EQ(Findings.size(), 1u);
    EXPECT_EQ(Findings[0].eKind, CPortFinding::EKind::NoInfo);
    EXPECT_EQ(Findings[0].btPort, 3);
    EXPECT_TRUE(AEngine.ANotes.GetNotes().empty()) << "no device was announced";
    const auto Commands = CommandsReceived(*pDevice);
    EXPECT_EQ(std::vector<std::uint8_t>(Commands.begin(), Commands.begin() + 12), std::vector<std::uint8_t>(12, 0x45))
        << "probes and requests, nothing else";
    AEngine.AWork.Reset();
    EXPECT_FALSE(AEngine.AWork.IsConnected());
}
