// The worker around the protocol, against the virtual device on a
// pseudo-terminal: the search, the threads and the port. The protocol's own
// rules are ProtocolTest's; whole updates and what the device keeps of them
// are the fault matrix's.
#include <gtest/gtest.h>

#include "DeviceTestKit.h"

using namespace std::chrono_literals;

// A whole update through the port: started only once a device is there,
// every stage's result, the device read again after it.
TEST(Work, UpdatesTheDeviceOnItsPortAndReadsItAgain)
{
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    const CBytes EDog = RandomBytes(9000, 22);
    AFiles.Write("flagdata.bin", EDog);
    const auto pDevice = StartDevice(APorts.GetPath(), 3);
    CEngine AEngine;
    EXPECT_EQ(AEngine.AWork.StartUpdate(), EStartResult::NotConnected);
    AEngine.Start(AFiles);
    ASSERT_TRUE(AEngine.WaitConnected());
    EXPECT_EQ(AEngine.AWork.StartUpdate(), EStartResult::Started);
    ASSERT_TRUE(AEngine.ANotes.WaitFor(WM_DEVICE_REREAD, 1, 30s));
    EXPECT_EQ(AEngine.ANotes.Results(), (std::vector<std::pair<int, int>>{{2, 0}, {6, 0}}));
    EXPECT_EQ(pDevice->GetImage(0x21), EDog);
    EXPECT_TRUE(AEngine.AWork.IsConnected());
}

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
