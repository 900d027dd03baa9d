// The serial port against the virtual device on a pseudo-terminal.
#include <asm/termbits.h>
#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/ioctl.h>

#include "ChildProcess.h"
#include "HostReceiver.h"
#include "PortTable.h"
#include "Serial.h"
#include "TempPortDir.h"
#include "UniqueFd.h"
#include "VirtualDevice.h"

using namespace std::chrono_literals;
using CBytes = std::vector<std::uint8_t>;

namespace {

class SerialTest : public testing::Test {
protected:
    CSimDevice& Start(unsigned nCom, CSimOptions AOptions = {})
    {
        m_Devices.push_back(StartDevice(m_Dir.GetPath(), nCom, std::move(AOptions)));
        return *m_Devices.back();
    }
    CTempPortDir m_Dir;
    std::vector<std::unique_ptr<CSimDevice>> m_Devices;
    CHostReceiver m_Receiver;
};

} // namespace

TEST_F(SerialTest, OpenProbesThenRunsAt256000Baud8N1)
{
    const CSimDevice& ADevice = Start(3);
    // The line as the host leaves it, seen through a second handle on it.
    const CUniqueFd ALine(::open(ADevice.GetSlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    CSerial APort(nullptr, 10);
    APort.SetOwner(&m_Receiver);
    ASSERT_NE(APort.Open(3, 9600, 8, 0, 0), 0);
    EXPECT_TRUE(APort.IsOpen());
    EXPECT_EQ(m_Receiver.GetOpened(), 3);
    ASSERT_TRUE(ADevice.WaitForFrames(1, 5s));
    EXPECT_EQ(ADevice.GetReceivedFrames()[0], (CBytes{0xAC, 0x06, 0x00, 0x45, 0x03, 0x48}));

    termios2 tio{};
    ASSERT_EQ(::ioctl(ALine.Get(), TCGETS2, &tio), 0);
    EXPECT_EQ(tio.c_ospeed, 256000u);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);

    // The probe's answer was consumed by the probe; what comes next is read.
    const CBytes Request = {0xAC, 0x05, 0x00, 0x21, 0x21};
    EXPECT_TRUE(APort.Write(Request.data(), static_cast<std::uint32_t>(Request.size())));
    EXPECT_TRUE(PollUntil([&] { return m_Receiver.GetBytes() == CBytes{0xAC, 0x05, 0x00, 0x22, 0x22}; }));
    EXPECT_FALSE(APort.Write(Request.data(), 0));
    EXPECT_FALSE(APort.Write(nullptr, 3));
    APort.Close();
    EXPECT_FALSE(APort.IsOpen());
    EXPECT_FALSE(APort.Write(Request.data(), static_cast<std::uint32_t>(Request.size())));
    APort.Close();  // twice does no harm
}

struct CProbeCase {
    const char* szName;
    void (*Set)(CSimOptions&);
    bool bOpens;
};

class SerialProbe : public SerialTest, public testing::WithParamInterface<CProbeCase> {};

TEST_P(SerialProbe, AcceptsAPortOnTheCommandByteAlone)
{
    CSimOptions AOptions;
    GetParam().Set(AOptions);
    Start(5, AOptions);
    CSerial APort(&m_Receiver, 10);
    EXPECT_EQ(APort.Open(5, 256000, 8, 0, 0) != 0, GetParam().bOpens);
    EXPECT_EQ(APort.IsOpen(), GetParam().bOpens);
    EXPECT_EQ(m_Receiver.GetOpened() != 0, GetParam().bOpens);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SerialProbe,
    testing::Values(CProbeCase{"info_frame", [](CSimOptions&) {}, true},
                    CProbeCase{"four_bytes", [](CSimOptions& A) { A.eProbeFault = EProbeFault::Short; }, false},
                    CProbeCase{"other_command",
                               [](CSimOptions& A) { A.eProbeFault = EProbeFault::OtherCommand, A.btProbeCommand = 0x47; },
                               false},
                    CProbeCase{"silent", [](CSimOptions& A) { A.bSilent = true; }, false}),
    [](const testing::TestParamInfo<CProbeCase>& AInfo) { return std::string(AInfo.param.szName); });

TEST_F(SerialTest, PortWithoutEntryDoesNotExist)
{
    CSerial APort(&m_Receiver, 10);
    EXPECT_EQ(APort.Open(7, 256000, 8, 0, 0), 0);
    EXPECT_FALSE(APort.IsOpen());
}

TEST_F(SerialTest, SecondOpenReleasesTheFirstPortAndTwoDigitNumbersWork)
{
    Start(3);
    const CSimDevice& ADevice12 = Start(12);
    CSerial APort(&m_Receiver, 10);
    ASSERT_NE(APort.Open(3, 256000, 8, 0, 0), 0);

    CHostReceiver AOther;
    CSerial AOtherPort(&AOther, 10);
    EXPECT_EQ(AOtherPort.Open(3, 256000, 8, 0, 0), 0) << "a port in use is not shared";

    ASSERT_NE(APort.Open(12, 256000, 8, 0, 0), 0);
    ASSERT_TRUE(ADevice12.WaitForFrames(1, 5s));
    EXPECT_EQ(ADevice12.GetReceivedFrames()[0], (CBytes{0xAC, 0x06, 0x00, 0x45, 0x0C, 0x51}));
    EXPECT_NE(AOtherPort.Open(3, 256000, 8, 0, 0), 0) << "the first port was released";
}

TEST_F(SerialTest, UnpluggedDeviceIsReportedOnce)
{
    CSimDevice& ADevice = Start(4);
    CSerial APort(&m_Receiver, 10);
    ASSERT_NE(APort.Open(4, 256000, 8, 0, 0), 0);
    ADevice.Stop();
    EXPECT_TRUE(PollUntil([&] { return m_Receiver.GetLost() > 0; }));
    EXPECT_FALSE(PollUntil([&] { return m_Receiver.GetLost() > 1; }, 50ms)) << "reported more than once";
    APort.Close();
}

// The port table past COM49, by path, and what sysfs says of an adapter.
TEST_F(SerialTest, PortsPastFortyNineByPathAndTheAdapterBehindAPort)
{
    Start(3);
    Start(57);
    EXPECT_EQ(ListPortNumbers(), (std::vector<unsigned>{3, 57}));
    EXPECT_EQ(FindPortNumber(m_Dir.PortPath(57)), 57u) << "the link itself";
    std::error_code AError;
    EXPECT_EQ(FindPortNumber(std::filesystem::canonical(m_Dir.PortPath(57), AError).string()), 57u) << "its target";
    EXPECT_EQ(FindPortNumber(m_Dir.GetPath() + "/COM9"), 0u);

    // A USB adapter as sysfs shows it: the tty below an interface of the
    // device that carries the ids and names.
    const std::filesystem::path Sys = m_Dir.GetPath() + "/sys";
    const std::filesystem::path Usb = Sys / "devices" / "pci0000:00" / "usb1" / "1-1";
    std::filesystem::create_directories(Usb / "1-1:1.0" / "ttyUSB0");
    std::filesystem::create_directories(Sys / "class" / "tty" / "ttyUSB0");
    std::filesystem::create_directory_symlink(Usb / "1-1:1.0", Sys / "class" / "tty" / "ttyUSB0" / "device");
    for (const auto& [szFile, szText] : {std::pair{"idVendor", "1a86\n"}, {"idProduct", "7523\n"},
                                         {"product", "USB Serial\n"}, {"manufacturer", "QinHeng\n"}})
        std::ofstream(Usb / szFile) << szText;
    EXPECT_EQ(DescribeTty("ttyUSB0", Sys.string()), "1a86:7523 USB Serial (QinHeng)");
    EXPECT_EQ(DescribeTty("ttyS0", Sys.string()), "") << "nothing known";
}
