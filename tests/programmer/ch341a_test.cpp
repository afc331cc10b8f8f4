// The CH341A kind on its emulated board: program, read, verify and erase for
// each family, the 25C status register, the I2C speeds, the batching of the
// traffic into packets and the trace file.
#include "ch341a_rig.h"
#include "chips/eeprom_25c.h"
#include "chips/eeprom_93c.h"
#include "common/temp_dir.h"
#include "errors/errors.h"
#include "programmer/ch341a/usb_trace.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct TPart {
    const char* Device;
    int Organisation;
    std::uint8_t AddressPins = 0; // the 24LC1025 works only with its A2 pin tied high
};

// A pattern that differs between pages and between the halves of a 128 KiB part.
std::uint8_t Pattern(int i) {
    return static_cast<std::uint8_t>((i * 7) ^ (i >> 8) ^ (i >> 16) * 0x5A);
}

TEST(Ch341Memory, ProgramReadVerifyEraseEveryFamily) {
    const TPart parts[] = {{"24C02", 16},   {"24C16", 16},       {"24C256", 16}, {"24C512", 16},
                           {"24C1024", 16}, {"24LC1025", 16, 4}, {"24M01", 16},  {"25C040", 16},
                           {"25C256", 16},  {"25HP512", 16},     {"93C46", 8},   {"93C46", 16},
                           {"93C86", 16}};
    for (const auto& part : parts) {
        SCOPED_TRACE(std::string(part.Device) + " x" + std::to_string(part.Organisation));
        TSimOptions options;
        options.AddressPins = part.AddressPins;
        TCh341Rig rig(part.Device, part.Organisation, options);
        rig.Open();
        rig.FillBuffer(Pattern);

        rig.Driver->ProgramFlash(rig.Buffer);
        EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);

        THexList back;
        back.SetSizeof(rig.Buffer.Size());
        rig.Driver->ReadFlash(back);
        EXPECT_EQ(back.HexData, rig.Buffer.HexData);

        rig.Driver->VerifyFlash(rig.Buffer);
        EXPECT_EQ(rig.Buffer.Status(0), TProgStatus{ps_verified});

        // One byte changed in the chip: the verify names it.
        rig.Chip().Memory()[5] ^= 0xFF;
        rig.Host.Lines.clear();
        const std::string failed = MessageOf([&] { rig.Driver->VerifyFlash(rig.Buffer); });
        EXPECT_NE(failed.find("EEPROM: Verification Failed"), std::string::npos) << failed;
        ASSERT_EQ(rig.Host.Lines.size(), 1u);
        EXPECT_EQ(rig.Host.Lines[0].substr(0, 22), "Verify Failed at 0005h");
        EXPECT_EQ(rig.Buffer.Status(5), TProgStatus{ps_failed});

        rig.Driver->EraseDevice();
        EXPECT_EQ(rig.Chip().Memory(), std::vector<std::uint8_t>(rig.Buffer.Size(), 0xFF));

        // Nothing the board could not take apart, nothing left unread.
        EXPECT_EQ(rig.Board().Stats().Malformed, 0u) << rig.Board().MalformedReasons().front();
        EXPECT_EQ(rig.Board().PendingReply(), 0u);
    }
}

TEST(Ch341Memory, TheBusNumberAndTheBlockBitsMeetInTheSelectByte) {
    // A 24C04 with its A1 pin high is bus 2: the pin and the block bit A8
    // share the select byte.
    TSimOptions options;
    options.AddressPins = 2;
    TCh341Rig rig("24C04", 16, options);
    rig.Host.Panel.Bus = 2;
    rig.Open();
    rig.FillBuffer(Pattern);
    rig.Driver->ProgramFlash(rig.Buffer);
    EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);
    // The same chip on bus 0 does not answer.
    rig.Host.Panel.Bus = 0;
    EXPECT_NE(MessageOf([&] { rig.Driver->ReadFlash(rig.Buffer); }).find("select byte A0h not acknowledged"),
              std::string::npos);
}

TEST(Ch341Memory, StatusRegisterAndBlockProtection) {
    TCh341Rig rig("25C256");
    rig.Open();
    rig.Driver->WriteOptionByte(0x8C);
    EXPECT_EQ(rig.Driver->ReadOptionByte(), 0x8C);
    auto& chip = dynamic_cast<T25CChip&>(rig.Chip());
    EXPECT_EQ(chip.Status() & 0x8C, 0x8C);

    // With every block protected, programming changes nothing and the
    // verify says why.
    rig.FillBuffer(Pattern);
    rig.Driver->ProgramFlash(rig.Buffer);
    EXPECT_EQ(chip.Memory(), std::vector<std::uint8_t>(chip.Size(), 0xFF));
    EXPECT_EQ(MessageOf([&] { rig.Driver->VerifyFlash(rig.Buffer); }),
              "EVerifyError: EEPROM: Verification Failed - Block protection may be enabled");

    rig.Driver->WriteOptionByte(0x00);
    EXPECT_EQ(rig.Driver->ReadOptionByte(), 0x00);
    rig.Driver->ProgramFlash(rig.Buffer);
    EXPECT_EQ(chip.Memory(), rig.Buffer.HexData);
}

TEST(Ch341Memory, OtherFamiliesHaveNoStatusRegister) {
    TCh341Rig rig("24C02");
    rig.Open();
    EXPECT_EQ(rig.Driver->ReadOptionByte(), 0);
    const auto sent = rig.Board().Stats().OutBytes;
    rig.Driver->WriteOptionByte(0x8C);
    EXPECT_EQ(rig.Chip().Memory(), std::vector<std::uint8_t>(256, 0xFF));
    // Only the pins were set up for the family.
    EXPECT_LT(rig.Board().Stats().OutBytes - sent, 40u);
}

TEST(Ch341Speed, TheOptionsSpeedIsTheBoardsI2CClock) {
    const std::pair<int, std::uint32_t> cases[] = {{20, 20'000},   {100, 100'000}, {400, 400'000},
                                                   {750, 750'000}, {200, 100'000}, {5, 20'000}};
    for (const auto& [kHz, hz] : cases) {
        TCh341Rig rig("24C02");
        rig.Settings.SetSetting("CH341A (USB)", "I2CSpeed", ss_global, std::int32_t{kHz});
        rig.Open();
        rig.Driver->ReadFlash(rig.Buffer);
        EXPECT_EQ(rig.Board().I2CSpeedHz(), hz) << kHz;
    }
}

TEST(Ch341Batching, APageIsOneRoundTripAndThePollsEndWhenTheChipIsReady) {
    TCh341Rig rig("24C256");
    rig.Open();
    rig.FillBuffer(Pattern);
    const TCh341Stats s0 = rig.Board().Stats();
    rig.Driver->ReadFlash(rig.Buffer);
    const auto pages = static_cast<std::uint64_t>(rig.Device->FlashSize() / rig.Device->PageSize());
    // Every page read twice and compared, each read one round trip; the
    // page's 64 bytes and four acknowledge bits come back in three packets
    // of at most 32 bytes.
    EXPECT_EQ(rig.Board().Stats().RoundTrips - s0.RoundTrips, 2 * pages);
    EXPECT_EQ(rig.Board().Stats().InTransfers - s0.InTransfers, 2 * 3 * pages);

    // Programming: the page with its first poll, then one poll a round trip
    // until the 5 ms write cycle is over.
    const auto before = rig.Board().Stats().RoundTrips;
    rig.Driver->ProgramFlash(rig.Buffer);
    const double perPage = double(rig.Board().Stats().RoundTrips - before) / double(pages);
    EXPECT_GE(perPage, 5.0);
    EXPECT_LE(perPage, 7.0);
}

TEST(Ch341Batching, EveryPacketBeginsWithAStreamCommandAndHoldsItsSubCommands) {
    // The trace shows each bulk OUT; cut into 32-byte packets, each begins
    // with a stream command (the emulator counts any other as malformed).
    TTempDir dir("ch341-trace");
    const std::string trace = dir.File("trace.txt");
    TScopedEnv env("NORVOISP_CH341_TRACE", trace.c_str());
    for (const char* device : {"24C02", "25C040", "93C46"}) {
        TCh341Rig rig(device);
        rig.Open();
        rig.FillBuffer(Pattern);
        rig.Driver->ProgramFlash(rig.Buffer);
        rig.Driver->VerifyFlash(rig.Buffer);
        EXPECT_EQ(rig.Board().Stats().Malformed, 0u) << device;
        rig.Driver->HardwareClose();
    }
    std::istringstream lines(ReadBytes(trace));
    std::string line;
    int outs = 0, ins = 0;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string direction;
        words >> direction;
        std::vector<int> bytes;
        std::string hex;
        while (words >> hex)
            bytes.push_back(std::stoi(hex, nullptr, 16));
        if (direction == "IN") {
            ++ins;
            continue;
        }
        ASSERT_EQ(direction, "OUT") << line;
        ++outs;
        for (std::size_t at = 0; at < bytes.size(); at += 32)
            EXPECT_TRUE(bytes[at] == 0xAA || bytes[at] == 0xA8 || bytes[at] == 0xAB) << line;
    }
    EXPECT_GT(outs, 100);
    EXPECT_GT(ins, 50);
}

TEST(Ch341Trace, EveryTransferIsALine) {
    TTempDir dir("ch341-trace");
    const std::string trace = dir.File("trace.txt");
    TScopedEnv env("NORVOISP_CH341_TRACE", trace.c_str());
    TCh341Rig rig("24C02");
    rig.Open();
    std::uint8_t byte = 0;
    rig.Driver->CheckISPMode();
    rig.Driver->Master().Start();
    rig.Driver->Master().WriteByte(0xA0);
    rig.Driver->Master().WriteByte(0x00);
    rig.Driver->Master().Start();
    rig.Driver->Master().WriteByte(0xA1);
    rig.Driver->Master().ReadByte(byte);
    rig.Driver->Master().Stop();
    rig.Driver->Master().Sync();
    // The open reads the port; the bus is set up (UIO pins off, 400 kHz) in
    // two packets, the first filled to its 32 bytes; then the random read
    // goes out as one packet and its four replies come back.
    std::string setup = "OUT ab 40 20";
    for (int i = 0; i < 29; ++i)
        setup += " 00";
    EXPECT_EQ(ReadBytes(trace), "OUT ab 00 20\nIN ff\n" + setup +
                                    " aa 62 00\n"
                                    "OUT aa 74 80 a0 80 00 74 80 a1 c0 75 00\n"
                                    "IN 00 00 00 ff\n");
    EXPECT_EQ(byte, 0xFF);
}

TEST(Ch341Trace, ATraceFileThatCannotBeWrittenFailsTheOpen) {
    TScopedEnv env("NORVOISP_CH341_TRACE", "/nonexistent/norvoisp/trace.txt");
    TCh341Rig rig("24C02");
    std::string hardware;
    EXPECT_EQ(MessageOf([&] { rig.Driver->HardwareOpen(); }, &hardware),
              "Cannot write the USB trace \"/nonexistent/norvoisp/trace.txt\"");
    EXPECT_EQ(hardware, "CH341A (USB)");
}

} // namespace

namespace {

// The write-cycle bound a CH341A run works with, from its information lines,
// after the settings Stored carry over from earlier runs (and back).
std::string WriteCycleLimitOf(const char* Device, TISPSettings& Stored) {
    TCh341Rig rig(Device);
    for (const auto& s : Stored.Settings())
        rig.Settings.SetSetting(s.Module, s.Name, s.Scope, s.Value);
    rig.Open();
    rig.Driver->ShowStatus("");
    std::string limit;
    for (const auto& line : rig.Host.Shown.back().Lines)
        if (line.rfind("Write Cycle Limit: ", 0) == 0) limit = line.substr(19);
    rig.Driver->HardwareClose();
    for (const auto& s : rig.Settings.Settings())
        Stored.SetSetting(s.Module, s.Name, s.Scope, s.Value);
    return limit;
}

} // namespace

TEST(Ch341Settings, OneDevicesWriteTimeIsNotCarriedToTheNext) {
    TISPSettings stored;
    EXPECT_EQ(WriteCycleLimitOf("93C86", stored), "14 ms");  // 2 x 2 ms + 10
    EXPECT_EQ(WriteCycleLimitOf("24C256", stored), "20 ms"); // its own 5 ms, not the 93C86's
    // A time stored by an older version without the mark is a device default.
    stored.SetSetting("CH341A (USB)", "EEPROMtime", ss_global, std::int32_t{2});
    EXPECT_EQ(WriteCycleLimitOf("24C256", stored), "20 ms");
    // A chosen time holds for every device.
    stored.SetSetting("CH341A (USB)", "EEPROMtime", ss_global, std::int32_t{12});
    stored.SetSetting("CH341A (USB)", "EEPROMtimeChosen", ss_global, std::int32_t{1});
    EXPECT_EQ(WriteCycleLimitOf("93C86", stored), "34 ms");
    EXPECT_EQ(WriteCycleLimitOf("24C256", stored), "34 ms");
}
