#include "avr/avr_link.h"
#include "chips/chip_factory.h"
#include <chrono>
#include <gtest/gtest.h>
#include <iostream>
using namespace std::chrono_literals;
TEST(Smoke, Identify) {
    TAvrUnit unit({FIRMWARE_ELF});
    unit.InsertChip(MakeChip("24C02"));
    TAvrLink link(unit);
    link.Sleep(10ms);
    link.Write(std::string_view("S"));
    auto r = link.Read(10, 1s);
    EXPECT_EQ(std::string(r.begin(), r.end()), "VORIZORUV\r");
    std::cout << "t=" << link.Now().count() << " mcu=" << unit.Mcu().Now().count() << "\n";
    // write a page
    link.Write(std::string_view("M00"));
    r = link.Read(1, 1s);
    EXPECT_EQ(r.size(), 1u);
    link.Write(std::string_view("D05"));
    r = link.Read(1, 1s);
    link.Write(std::string_view("X"));
    r = link.Read(1, 1s);
    EXPECT_EQ(r[0], '\r');
    link.Write(std::string_view("w\xA0"));
    r = link.Read(1, 1s);
    EXPECT_EQ(r[0], '\r');
    link.Write(std::string_view("w\x10"));
    r = link.Read(1, 1s);
    EXPECT_EQ(r[0], '\r');
    link.Write(std::string_view("W\x04"
                                "ABCD"));
    r = link.Read(1, 1s);
    EXPECT_EQ(r[0], '\r');
    EXPECT_EQ(unit.Chip()->Memory()[0x10], 'A');
    EXPECT_EQ(unit.Chip()->Memory()[0x13], 'D');
    link.Write(std::string_view("X"));
    r = link.Read(1, 1s);
    link.Write(std::string_view("w\xA0"));
    r = link.Read(1, 1s);
    link.Write(std::string_view("w\x10"));
    r = link.Read(1, 1s);
    link.Write(std::string_view("X"));
    r = link.Read(1, 1s);
    link.Write(std::string_view("w\xA1"));
    r = link.Read(1, 1s);
    link.Write(std::string_view("R\x04"));
    r = link.Read(5, 1s);
    EXPECT_EQ(std::string(r.begin(), r.end()), "ABCD\r");
    for (auto& b : unit.Breaches())
        std::cout << b << "\n";
    std::cout << "t=" << link.Now().count() << " mcu=" << unit.Mcu().Now().count() << "\n";
}
