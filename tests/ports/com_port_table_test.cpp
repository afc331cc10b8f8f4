// Port names and the table that maps them to device paths.
#include "ports/com_port_table.h"
#include "ports/serial_device.h"
#include "ports/serial_port_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

TEST(ComPortTable, PortNumbersOfNames) {
    const std::pair<const char*, int> cases[] = {
        {"COM1", 1}, {"com12", 12},       {"\\\\.\\COM10", 10}, {"\\\\.\\com3", 3}, {"COM", 0},
        {"COM0", 0}, {"COM01", 0},        {"COM1a", 0},         {"LPT1", 0},        {"/dev/ttyS0", 0},
        {"", 0},     {"COM99999", 99999}, {"COM9999999", 0}, // too long to be a port name here
    };
    for (const auto& [name, number] : cases)
        EXPECT_EQ(TComPortTable::ComNumber(name), number) << name;
}

TEST(ComPortTable, NumbersOnceGivenStay) {
    TComPortTable t;
    t.Assign(2, "/dev/ttyS1");
    t.Merge({"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"});
    EXPECT_EQ(t.PathOf(1), "/dev/ttyS0");
    EXPECT_EQ(t.PathOf(2), "/dev/ttyS1");
    EXPECT_EQ(t.PathOf(3), "/dev/ttyUSB0");
    // A device seen later gets the lowest free number; the others keep theirs.
    t.Assign(1, "");
    t.Merge({"/dev/ttyUSB0", "/dev/ttyACM0"});
    EXPECT_EQ(t.PathOf(1), "/dev/ttyACM0");
    EXPECT_EQ(t.PathOf(3), "/dev/ttyUSB0");
    EXPECT_EQ(t.Resolve("\\\\.\\COM3"), "/dev/ttyUSB0");
    EXPECT_EQ(t.Resolve("COM4"), "");
    EXPECT_EQ(t.Resolve("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(t.Add("/dev/ttyS1"), 2);
    EXPECT_EQ(t.Add("/dev/pts/7"), 4);
}

TEST(ComPortTable, LinksNameTheDeviceTheyPointTo) {
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("norvoisp-ports-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    const std::string target = dir + "/node";
    {
        std::FILE* f = std::fopen(target.c_str(), "w");
        std::fclose(f);
    }
    std::filesystem::create_symlink(target, dir + "/link");
    TComPortTable t;
    t.Assign(5, dir + "/link");
    EXPECT_EQ(t.NumberOf(target), 5);
    EXPECT_EQ(t.NumberOf(dir + "/other"), 0);
    std::filesystem::remove_all(dir);
}

TEST(SerialDevices, NaturalOrder) {
    std::vector<std::string> names{"/dev/ttyUSB10", "/dev/ttyS10",  "/dev/ttyS2", "/dev/ttyUSB2",
                                   "/dev/ttyACM0",  "/dev/ttyS002", "/dev/ttyS1"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS002",
                                               "/dev/ttyS10", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
    // The system's list is already in that order and has no duplicates.
    const auto present = EnumerateSerialDevices();
    EXPECT_TRUE(std::is_sorted(present.begin(), present.end(), NaturalLess));
    EXPECT_EQ(std::adjacent_find(present.begin(), present.end()), present.end());
}

} // namespace
