// The /dev/port access with its device files replaced by ordinary files: the
// byte at offset A is port A, the BIOS table at 0x408 of the memory file, the
// printer device by number, and the failure paths.
#include "lpt_tree.h"
#include "ports/dev_port_io.h"
#include "ports/vic_lpt.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

std::string Bytes(const std::string& File, std::streamoff At, std::size_t Count) {
    std::ifstream in(File, std::ios::binary);
    in.seekg(At);
    std::string s(Count, '\0');
    in.read(s.data(), static_cast<std::streamsize>(Count));
    return s;
}

TEST(DevPortIo, PortsAreBytesAtTheirAddress) {
    TLptTree tree;
    const std::string port = tree.Root() + "/port";
    tree.Write("port", std::string(0x400, '\x00'));
    TDevPortIo io({port, tree.Root() + "/mem", tree.Root() + "/lp"});
    EXPECT_EQ(io.GetPort(0x378), 0xFF); // not open
    ASSERT_TRUE(io.Open(1));
    EXPECT_EQ(io.LastError(), "");
    io.SetPort(0x378, 0x5A);
    io.SetPort(0x37A, 0x0C);
    EXPECT_EQ(io.GetPort(0x378), 0x5A);
    EXPECT_EQ(Bytes(port, 0x378, 3), std::string("\x5A\x00\x0C", 3));
    EXPECT_EQ(io.GetPort(0x778), 0xFF); // past the end of the file: nothing read
    io.Close();
    io.SetPort(0x378, 0x00);
    EXPECT_EQ(Bytes(port, 0x378, 1), "\x5A");
}

TEST(DevPortIo, BiosTableAndPrinterDevice) {
    TLptTree tree;
    std::string mem(0x410, '\0');
    mem[0x408] = '\x78';
    mem[0x409] = '\x03';
    mem[0x40A] = '\x78';
    mem[0x40B] = '\x02';
    tree.Write("mem", mem);
    tree.Write("lp1", "");
    TDevPortIo io({tree.Root() + "/port", tree.Root() + "/mem", tree.Root() + "/lp"});
    EXPECT_EQ(io.BiosLptTable(), (std::array<std::uint16_t, 3>{0x378, 0x278, 0}));
    EXPECT_FALSE(io.AcquirePrinter(1)); // no lp0
    EXPECT_TRUE(io.AcquirePrinter(2));
    io.ReleasePrinter();

    TDevPortIo shortMemory({"", tree.Root() + "/lp1", ""});
    EXPECT_EQ(shortMemory.BiosLptTable(), std::nullopt);
}

TEST(DevPortIo, WithoutThePortDeviceThePortObjectStaysClosed) {
    TLptTree tree;
    const std::string missing = tree.Root() + "/no-port";
    auto io = std::make_unique<TDevPortIo>(TDevPortPaths{missing, missing, missing});
    TDevPortIo* raw = io.get();
    EXPECT_FALSE(raw->Open(1));
    EXPECT_EQ(raw->LastError(), missing + ": No such file or directory");
    TVicLPT lpt(std::move(io), tree.Root());
    lpt.SetActive(1);
    EXPECT_EQ(lpt.Active(), 0);
    EXPECT_EQ(lpt.NumLPTs(), 0);
}

} // namespace
