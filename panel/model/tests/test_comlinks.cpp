// The device listing and the ports/ links, in a folder of the test's own:
// its "dev" holds links to pseudo-terminals and dangling links, never a
// real device, and no real device folder is listed.
#include "comlinks.h"
#include "pty.h"
#include "serialdevices.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class ComLinks : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("tirspanel-portlinks-" + std::to_string(getpid()));
        fs::remove_all(root);
        roots.dev = (root / "dev").string();
        roots.byId = (root / "dev/serial/by-id").string();
        roots.sysTty = (root / "sys/class/tty").string();
        ports = (root / "ports").string();
        fs::create_directories(roots.byId);
    }
    void TearDown() override { fs::remove_all(root); }
    void device(const std::string& name, const std::string& target)
    {
        fs::create_symlink(target, fs::path(roots.dev) / name);
    }
    void uart(const std::string& name, int type)
    {
        fs::create_directories(fs::path(roots.sysTty) / name);
        std::ofstream(fs::path(roots.sysTty) / name / "type") << type << "\n";
        device(name, "/nonexistent/" + name);
    }
    fs::path root;
    SerialDeviceRoots roots;
    std::string ports;
    support::Pty line;
    const std::string pty = line.slavePath();
};

TEST_F(ComLinks, StableNamesFirstThenUsbThenFittedUarts)
{
    device("ttyUSB10", pty);
    device("ttyUSB2", pty + "-other");  // no stable name: listed by itself
    device("ttyACM0", "/nonexistent/ttyACM0");
    uart("ttyS0", 4);
    uart("ttyS1", 0);  // a name the kernel keeps for a UART that is not fitted
    fs::create_symlink("../../ttyUSB10",
                       fs::path(roots.byId) / "usb-FTDI_USB-RS485_Cable_FT1ABC23-if00-port0");
    fs::create_symlink("../../ttyUSB7", fs::path(roots.byId) / "usb-Gone_Adapter_X1-if00");

    const std::vector<SerialDevice> found = ListSerialDevices(roots);
    std::vector<std::pair<std::string, std::string>> seen;
    for (const auto& d : found)
        seen.emplace_back(d.path.substr(root.string().size()), d.label);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{
                        {"/dev/serial/by-id/usb-FTDI_USB-RS485_Cable_FT1ABC23-if00-port0",
                         "FTDI USB-RS485 Cable (ttyUSB10)"},
                        {"/dev/ttyUSB2", "ttyUSB2"},
                        {"/dev/ttyACM0", "ttyACM0"},
                        {"/dev/ttyS0", "ttyS0"}}));
    EXPECT_EQ(DescribeDevice(roots.byId + "/usb-Gone_Adapter_X1-if00", roots),
              "Gone Adapter (не подключено)");
    EXPECT_EQ(DescribeDevice("/elsewhere/tty9", roots), "/elsewhere/tty9");
}

TEST_F(ComLinks, WritesReadsAndDescribesEveryKindOfEntry)
{
    // No folder yet: every COMn is the on-board UART.
    PortLink link = ReadPortLink(ports, 2);
    EXPECT_EQ(link.kind, PortLink::Kind::Fallback);
    EXPECT_EQ(link.target, "/dev/ttyS1");

    device("ttyUSB0", pty);
    WritePortLink(ports, 2, roots.dev + "/ttyUSB0");
    link = ReadPortLink(ports, 2);
    EXPECT_EQ(link.kind, PortLink::Kind::Device);
    EXPECT_EQ(link.target, roots.dev + "/ttyUSB0");
    EXPECT_TRUE(link.present);
    EXPECT_EQ(DescribePortLink(link, roots), "ttyUSB0");
    EXPECT_EQ(fs::read_symlink(fs::path(ports) / "COM2"), fs::path(roots.dev) / "ttyUSB0");

    WritePortLink(ports, 2, roots.dev + "/ttyUSB5");  // replaced: unplugged now
    link = ReadPortLink(ports, 2);
    EXPECT_FALSE(link.present);
    EXPECT_EQ(DescribePortLink(link, roots), "ttyUSB5 (не подключено)");

    WritePortLink(ports, 3, "");  // nothing: missing, not the console's UART
    link = ReadPortLink(ports, 3);
    EXPECT_EQ(link.kind, PortLink::Kind::Nothing);
    EXPECT_FALSE(link.present);
    EXPECT_EQ(DescribePortLink(link, roots), "нет устройства");

    fs::create_symlink("sim-pty", fs::path(ports) / "COM4");  // relative, as a person may write it
    EXPECT_EQ(ReadPortLink(ports, 4).target, ports + "/sim-pty");
    EXPECT_EQ(std::distance(fs::directory_iterator(ports), fs::directory_iterator()), 3);
}

TEST_F(ComLinks, AFolderThatCannotBeWrittenIsNamed)
{
    std::ofstream(ports) << "a file where the folder should be";
    try {
        WritePortLink(ports, 1, pty);
        FAIL() << "no error";
    } catch (const PortLinkError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Папка " + ports + " недоступна для записи: ", 0), 0u)
            << e.what();
    }
}

}  // namespace
