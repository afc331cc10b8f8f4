// The pin-level wiring of the chip models: a master toggling pins the way
// the bus specifications draw them reaches the byte-level chip models, the
// targets answer on their pins, and the timing record catches a master that
// is too fast.
#include "chips/chip_factory.h"
#include "chips/eeprom_25c.h"
#include "chips/eeprom_93c.h"
#include "pins/i2c_pins.h"
#include "pins/microwire_pins.h"
#include "pins/spi_pins.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A bit-banging I2C master on the adapter, 5 us per step (SCL is low for
// two steps, high for one). Clock times the chip's write cycles.
struct TI2CMaster {
    TI2CPins& Pins;
    TVirtualClock& Clock;
    TSimTime Now{0};
    bool Scl = true, Sda = true; // released
    void Set(bool SclHigh, bool SdaHigh) {
        Now += 5us;
        Clock.AdvanceTo(Now);
        Scl = SclHigh;
        Sda = SdaHigh;
        Pins.Drive(!Scl, !Sda, Now);
    }
    void Start() {
        Set(true, true);
        Set(true, false);
        Set(false, false);
    }
    void Stop() {
        Set(false, false);
        Set(true, false);
        Set(true, true);
    }
    bool Bit(bool Value) {
        Set(false, Value);
        Set(true, Value);
        const bool level = Pins.Sda();
        Set(false, Value);
        return level;
    }
    bool Write(std::uint8_t Byte) {
        for (int i = 7; i >= 0; --i)
            Bit(((Byte >> i) & 1) != 0);
        return !Bit(true);
    }
    std::uint8_t Read(bool Ack) {
        std::uint8_t v = 0;
        for (int i = 0; i < 8; ++i)
            v = static_cast<std::uint8_t>((v << 1) | (Bit(true) ? 1 : 0));
        Bit(!Ack);
        return v;
    }
};

TEST(PinAdapters, I2CWriteAndRandomReadThroughTheLines) {
    auto chip = MakeChip("24C02");
    TVirtualClock clock;
    chip->AttachClock(&clock);
    TI2CPins pins(chip->AsI2C());
    TI2CMaster m{pins, clock};
    m.Start();
    EXPECT_TRUE(m.Write(0xA0));
    EXPECT_TRUE(m.Write(0x20));
    EXPECT_TRUE(m.Write(0x11));
    EXPECT_TRUE(m.Write(0x22));
    m.Stop();
    EXPECT_EQ(chip->Memory()[0x20], 0x11);
    EXPECT_EQ(chip->Memory()[0x21], 0x22);
    // During the write cycle the chip acknowledges nothing; then another
    // address on the bus is not acknowledged either.
    m.Start();
    EXPECT_FALSE(m.Write(0xA0));
    m.Stop();
    m.Now += 10ms;
    m.Start();
    EXPECT_FALSE(m.Write(0xA2));
    m.Stop();
    // Random read: address, repeated start, two bytes, the last one NACKed.
    m.Start();
    EXPECT_TRUE(m.Write(0xA0));
    EXPECT_TRUE(m.Write(0x20));
    m.Start();
    EXPECT_TRUE(m.Write(0xA1));
    EXPECT_EQ(m.Read(true), 0x11);
    EXPECT_EQ(m.Read(false), 0x22);
    EXPECT_TRUE(pins.Sda()); // released after the NACK
    m.Stop();
    EXPECT_EQ(pins.Starts(), 5u);
    EXPECT_EQ(pins.Stops(), 4u);
    EXPECT_EQ(pins.Log().Count(), 0u);
}

TEST(PinAdapters, TheTimingRecordCatchesAFastMaster) {
    auto chip = MakeChip("24C02");
    TVirtualClock clock;
    chip->AttachClock(&clock);
    TI2CPins pins(chip->AsI2C());
    TI2CTiming limits;
    limits.Low = 12000; // the master holds SCL low for 10 us
    limits.High = 4000;
    pins.SetTiming(limits);
    TI2CMaster m{pins, clock};
    m.Start();
    m.Write(0xA0);
    m.Stop();
    ASSERT_GT(pins.Log().Count(), 0u);
    EXPECT_NE(pins.Log().Breaches().front().find("tLOW"), std::string::npos) << pins.Log().Breaches().front();
    EXPECT_NE(pins.Log().Breaches().front().find("10.000 us < 12.000 us"), std::string::npos);
}

TEST(PinAdapters, SpiShiftsTheReadDataOutBeforeItsClocks) {
    auto chip = MakeChip("25C040");
    auto* spi = dynamic_cast<T25CChip*>(chip.get());
    for (int i = 0; i < 4; ++i)
        chip->Memory()[0x100 + i] = static_cast<std::uint8_t>(0xC0 + i);
    TSpiPins pins(spi, [spi] { return spi->NextOutput(); });
    TSimTime now{0};
    auto drive = [&](bool Cs, bool Sck, bool Si) {
        now += 1us;
        pins.Drive(Cs, Sck, Si, true, now);
    };
    auto transfer = [&](std::uint8_t Out) {
        std::uint8_t in = 0;
        for (int i = 7; i >= 0; --i) {
            const bool bit = ((Out >> i) & 1) != 0;
            drive(false, false, bit);
            drive(false, true, bit);
            in = static_cast<std::uint8_t>((in << 1) | (pins.So() ? 1 : 0));
        }
        drive(false, false, false);
        return in;
    };
    drive(false, false, false);
    EXPECT_EQ(transfer(0x0B), 0xFF); // READ with A8 set
    EXPECT_EQ(transfer(0x00), 0xFF);
    EXPECT_EQ(transfer(0xFF), 0xC0);
    EXPECT_EQ(transfer(0xFF), 0xC1);
    drive(true, false, false);
    EXPECT_TRUE(pins.So()); // high impedance
    EXPECT_EQ(pins.Bytes(), 4u);
}

TEST(PinAdapters, MicrowireShowsReadDataAndTheStatusAfterAWrite) {
    TChipOptions options;
    options.Organisation = 8;
    auto chip = MakeChip("93C46", options);
    chip->Memory()[5] = 0xA5;
    TMicrowirePins pins(chip->AsMicrowire());
    TSimTime now{0};
    auto clock = [&](bool Di) {
        now += 2us;
        pins.Drive(true, false, Di, now);
        now += 2us;
        pins.Drive(true, true, Di, now);
        return pins.Do();
    };
    auto select = [&](bool On) {
        now += 2us;
        pins.Drive(On, false, false, now);
    };
    // READ 10 + address 0000101, then the dummy 0 and eight data bits.
    select(true);
    bool last = true;
    for (bool b : {true, true, false, false, false, false, false, true, false, true})
        last = clock(b);
    EXPECT_FALSE(last); // dummy 0
    std::uint8_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = static_cast<std::uint8_t>((v << 1) | (clock(false) ? 1 : 0));
    EXPECT_EQ(v, 0xA5);
    select(false);
    EXPECT_TRUE(pins.Do());
}

TEST(PinAdapters, The25CNextOutputIsWhatTransferShiftsOut) {
    auto chip = MakeChip("25C040");
    auto* c = dynamic_cast<T25CChip*>(chip.get());
    for (std::size_t i = 0; i < chip->Size(); ++i)
        chip->Memory()[i] = static_cast<std::uint8_t>(i * 7);
    c->SetNonVolatileStatus(0x8C);
    const std::vector<std::vector<std::uint8_t>> sequences = {{0x03, 0x10, 0xFF, 0xFF, 0xFF},
                                                              {0x0B, 0xFE, 0xFF, 0xFF, 0xFF},
                                                              {0x05, 0xFF, 0xFF},
                                                              {0x06},
                                                              {0x02, 0x00, 1}};
    for (const auto& seq : sequences) {
        c->Select(true);
        for (std::uint8_t b : seq) {
            const std::uint8_t next = c->NextOutput();
            EXPECT_EQ(c->Transfer(b), next);
        }
        c->Select(false);
        EXPECT_EQ(c->NextOutput(), 0xFF);
    }
}

} // namespace
