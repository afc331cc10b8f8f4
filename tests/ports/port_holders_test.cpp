// Finding who holds a device under /proc, on a made-up /proc tree: the lock
// holder from /proc/locks first, then processes with a descriptor on the
// device; and the message built from them.
#include "common/temp_dir.h"
#include "ports/port_holders.h"
#include "ports/serial_port_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

class TFakeProc {
  public:
    const std::string& Root() const { return FDir.Path(); }
    void Process(int Pid, const std::string& Comm) const {
        std::filesystem::create_directories(FDir.File(std::to_string(Pid) + "/fd"));
        std::ofstream(FDir.File(std::to_string(Pid) + "/comm")) << Comm << "\n";
    }
    // Descriptor Fd of process Pid is open on Target.
    void Descriptor(int Pid, int Fd, const std::string& Target) const {
        std::filesystem::create_symlink(Target, FDir.File(std::to_string(Pid) + "/fd/" + std::to_string(Fd)));
    }
    void Locks(const std::string& Text) const { std::ofstream(FDir.File("locks")) << Text; }

  private:
    TTempDir FDir{"proc"};
};

// The /proc/locks field naming Path's inode.
std::string LockFile(const std::string& Path) {
    struct stat st {};
    stat(Path.c_str(), &st);
    char text[64];
    std::snprintf(text, sizeof text, "%02x:%02x:%llu", ::major(st.st_dev), ::minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return text;
}

TEST(PortHolders, TheLockHolderFirstThenOtherOpeners) {
    TFakeProc proc;
    const std::string device = "/dev/null"; // a character device every system has
    proc.Process(4100, "picocom");
    proc.Process(4200, "ModemManager");
    proc.Process(4300, "bash");
    proc.Descriptor(4200, 7, device);
    proc.Descriptor(4300, 0, "/dev/zero"); // another device
    proc.Locks("1: POSIX  ADVISORY  WRITE 999 00:01:1 0 EOF\n"
               "2: FLOCK  ADVISORY  WRITE 4100 " +
               LockFile(device) +
               " 0 EOF\n"
               "2: -> FLOCK  ADVISORY  WRITE 4300 " +
               LockFile(device) + " 0 EOF\n");
    const auto holders = FindPortHolders(device, proc.Root());
    EXPECT_EQ(holders, (std::vector<TPortHolder>{{4100, "picocom"}, {4200, "ModemManager"}}));
    EXPECT_EQ(
        PortInUseText(device, holders),
        "/dev/null: in use by another program (picocom, process 4100; ModemManager, process 4200); close it "
        "and try again");

    EXPECT_EQ(FindPortHolders(device, proc.Root(), 1).size(), 1u);
    EXPECT_TRUE(FindPortHolders("/nonexistent/tty", proc.Root()).empty());
    EXPECT_TRUE(FindPortHolders(device, proc.Root() + "/missing").empty());
}

TEST(PortHolders, MessagesWithoutAKnownHolder) {
    EXPECT_EQ(PortInUseText("/dev/ttyUSB0", {}),
              "/dev/ttyUSB0: in use by another program; close it and try again (ModemManager and brltty take "
              "serial adapters too: see Permissions in README.md)");
    EXPECT_EQ(PortInUseText("/dev/ttyUSB0", {{77, ""}}),
              "/dev/ttyUSB0: in use by another program (a program, process 77); close it and try again");
}

TEST(SerialPortList, DescriptionsTellAdaptersApart) {
    TSerialPortInfo ftdi;
    ftdi.Path = "/dev/ttyUSB0";
    ftdi.Transport = "USB";
    ftdi.Description = "FT232R USB UART - A50285BI";
    ftdi.Vid = 0x0403;
    ftdi.Pid = 0x6001;
    ftdi.Manufacturer = "FTDI";
    ftdi.Product = "FT232R USB UART";
    ftdi.SerialNumber = "A50285BI";
    ftdi.Bus = 1;
    ftdi.Address = 4;
    EXPECT_EQ(DescribeSerialPort(ftdi),
              "FT232R USB UART (FTDI), USB 0403:6001, serial A50285BI, bus 1 address 4");

    TSerialPortInfo ch340 = ftdi;
    ch340.Manufacturer = "QinHeng Electronics";
    ch340.Product = "QinHeng Electronics USB Serial";
    ch340.SerialNumber = "";
    ch340.Vid = 0x1a86;
    ch340.Pid = 0x7523;
    EXPECT_EQ(DescribeSerialPort(ch340), "QinHeng Electronics USB Serial, USB 1a86:7523, bus 1 address 4");

    TSerialPortInfo noStrings = ftdi;
    noStrings.Manufacturer = noStrings.Product = noStrings.SerialNumber = "";
    noStrings.Bus = -1;
    EXPECT_EQ(DescribeSerialPort(noStrings), "FT232R USB UART - A50285BI, USB 0403:6001");

    TSerialPortInfo uart;
    uart.Path = "/dev/ttyS0";
    uart.Transport = "native";
    uart.Description = "ttyS0";
    EXPECT_EQ(DescribeSerialPort(uart), "ttyS0, native");

    const std::vector<TSerialPortInfo> list{uart, ftdi};
    EXPECT_EQ(FindSerialPort(list, "/dev/ttyUSB0"), &list[1]);
    EXPECT_EQ(FindSerialPort(list, "/dev/pts/3"), nullptr);
}

} // namespace
