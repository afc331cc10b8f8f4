// The simulated printer port at its registers: which addresses each kind
// answers, the connector pins behind the data, control and status registers,
// the direction bit, the ECR and the EPP time-out bit.
#include "ports/sim_lpt_io.h"
#include "ports/sim_printer_port.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records the pins the port drives; inputs as set by the test.
struct TProbe : TLptConnector {
    std::vector<std::pair<int, bool>> Driven;
    bool Input[18] = {};
    int Cycles = 0;
    void SetPin(int Pin, bool High) override { Driven.emplace_back(Pin, High); }
    bool GetPin(int Pin) override { return Input[Pin]; }
    void IoCycle() override { ++Cycles; }
};

TEST(SimPrinterPort, AddressesEachKindAnswers) {
    struct TCase {
        TSimLptKind Kind;
        std::uint16_t Address;
        int Register; // -1: not the port's
    };
    const TCase cases[] = {
        {TSimLptKind::Spp, 0x378, 0},
        {TSimLptKind::Spp, 0x37A, 2},
        {TSimLptKind::Spp, 0x37B, -1},
        {TSimLptKind::Spp, 0x77A, 2},
        {TSimLptKind::Ps2, 0xB79, 1},
        {TSimLptKind::Epp, 0x37F, 7},
        {TSimLptKind::Epp, 0x77F, 7},
        {TSimLptKind::Ecp, 0x37D, 5},
        {TSimLptKind::Ecp, 0x778, 0x400},
        {TSimLptKind::Ecp, 0x77A, 0x402},
        {TSimLptKind::Ecp, 0x77B, -1},
        {TSimLptKind::Ecp, 0x377, -1},
        {TSimLptKind::ThreeRegisters, 0x37A, 2},
        {TSimLptKind::ThreeRegisters, 0x37B, -1},
    };
    for (const auto& c : cases) {
        TSimPrinterPort port(0x378, c.Kind);
        EXPECT_EQ(port.Decode(c.Address), c.Register) << int(c.Kind) << " " << c.Address;
    }
}

TEST(SimPrinterPort, ControlAndDataDriveTheConnector) {
    TProbe probe;
    TSimPrinterPort port(0x378, TSimLptKind::Spp, &probe);
    // Plugging in drives every output: data 0, control 0x0C.
    EXPECT_EQ(probe.Driven.size(), 12u);
    EXPECT_EQ(probe.Driven.back(), (std::pair<int, bool>{14, true}));
    probe.Driven.clear();
    port.Write(0x37A, 0x0F); // STROBE, AUTOFD, INIT, SELECTIN set
    EXPECT_EQ(probe.Driven, (std::vector<std::pair<int, bool>>{{1, false}, {14, false}}));
    probe.Driven.clear();
    port.Write(0x378, 0x81);
    EXPECT_EQ(probe.Driven, (std::vector<std::pair<int, bool>>{{2, true}, {9, true}}));
    EXPECT_EQ(port.Read(0x37A), 0xEF); // unused control bits read 1
    EXPECT_EQ(probe.Cycles, 3);
}

TEST(SimPrinterPort, StatusSamplesTheInputPins) {
    TProbe probe;
    TSimPrinterPort port(0x378, TSimLptKind::Spp, &probe);
    EXPECT_EQ(port.Read(0x379), 0x87); // all low: BUSY inverted into bit 7
    probe.Input[10] = true;
    probe.Input[11] = true;
    EXPECT_EQ(port.Read(0x379), 0x47);
    probe.Input[12] = probe.Input[13] = probe.Input[15] = true;
    EXPECT_EQ(port.Read(0x379), 0x7F);
    port.Write(0x379, 0x00); // the status register takes no writes
    EXPECT_EQ(port.Read(0x379), 0x7F);
}

TEST(SimPrinterPort, TheDirectionBitReleasesTheDataLines) {
    for (const TSimLptKind kind : {TSimLptKind::Spp, TSimLptKind::Ps2}) {
        TProbe probe;
        TSimPrinterPort port(0x378, kind, &probe);
        port.Write(0x378, 0x55);
        probe.Driven.clear();
        port.Write(0x37A, 0x2C);
        if (kind == TSimLptKind::Spp) {
            EXPECT_FALSE(port.DataInput());
            EXPECT_EQ(port.Read(0x378), 0x55);
            EXPECT_TRUE(probe.Driven.empty());
        } else {
            EXPECT_TRUE(port.DataInput());
            EXPECT_EQ(port.Read(0x378), 0x00);  // the pins, as the probe holds them
            EXPECT_EQ(probe.Driven.size(), 4u); // the four low data lines float up
            EXPECT_EQ(port.Read(0x37A), 0xEC);
        }
    }
}

TEST(SimPrinterPort, EcrModesAndEpp) {
    TSimPrinterPort port(0x378, TSimLptKind::Ecp);
    EXPECT_EQ(port.Read(0x77A), 0x15);
    port.Write(0x77A, 0x36); // the FIFO bits are read-only
    EXPECT_EQ(port.Read(0x77A), 0x35);
    EXPECT_EQ(port.Read(0x37B), 0xFF); // no EPP outside mode 100
    port.Write(0x37A, 0x20);
    EXPECT_TRUE(port.DataInput()); // mode 001 is bidirectional
    port.Write(0x77A, 0x95);
    port.Write(0x37B, 0x55);
    EXPECT_TRUE(port.EppTimeout()); // nobody answers the EPP cycle
    port.Write(0x379, 0x01);
    EXPECT_FALSE(port.EppTimeout());
    EXPECT_EQ(port.Read(0x37B), 0x55);
    EXPECT_EQ(port.Read(0x379) & 0x01, 0x01);
    EXPECT_EQ(port.Read(0x778), 0x10);
}

TEST(SimPrinterPort, TheBusCountsAndLogsEveryAccess) {
    TSimLptIo io;
    io.AddPort(0x378, TSimLptKind::Spp);
    io.SetKeepLog(true);
    io.SetPort(0x378, 0x12);
    EXPECT_EQ(io.GetPort(0x378), 0x12);
    EXPECT_EQ(io.GetPort(0x2F8), 0xFF); // nothing there
    EXPECT_EQ(io.Reads(), 2u);
    EXPECT_EQ(io.Writes(), 1u);
    EXPECT_EQ(io.Log(), (std::vector<TSimLptIo::TAccess>{
                            {0x378, 0x12, true}, {0x378, 0x12, false}, {0x2F8, 0xFF, false}}));
}

} // namespace
