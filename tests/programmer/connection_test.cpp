// Opening, identification, family selection with recovery, settings, the
// options dialog and the status report: the serial driver on the simulated
// unit, and the parallel driver's connection with the pin handshake replaced
// by the simulated byte link.
#include "chips/chip_factory.h"
#include "errors/errors.h"
#include "programmer/unit/parallel_port.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

std::vector<std::string> Events(const TTranscript& t) {
    std::vector<std::string> out;
    for (const auto& e : t.Exchanges())
        out.push_back(e.Kind == TExchangeKind::Event ? e.Note : CommandText(e));
    return out;
}

// ---------------------------------------------------------------- serial

TEST(SerialConnection, OpenRunsTheLineSequenceProbeAndIdentification) {
    TSimRig rig("24C256");
    rig.Driver->HardwareOpen();
    EXPECT_EQ(Events(rig.Driver->Unit().Transcript()),
              (std::vector<std::string>{"DTR set", "RTS set", "DTR cleared", "RTS cleared", "DTR set",
                                        "RTS set", "*", "S", "v", "E01"}));
    // Four pauses of 250 ms before the probe, on the link's clock, and the
    // wait for a quiet line.
    const TExchange probe = rig.Driver->Unit().Transcript().Commands().front();
    EXPECT_GE(probe.Time, 1000ms + TSmartSerial::kQuietLine);
    EXPECT_LT(probe.Time, 1001ms + TSmartSerial::kQuietLine);
    EXPECT_TRUE(rig.Driver->DriverOpen);
    EXPECT_EQ(rig.Driver->CommDriver()->DeviceName(), "COM1");
    EXPECT_EQ(rig.Driver->MaxReadTimeOut(), 50000);
    EXPECT_EQ(rig.Driver->MaxWriteTimeOut(), 50000);
    rig.Driver->HardwareClose();
    EXPECT_FALSE(rig.Driver->DriverOpen);
    EXPECT_EQ(rig.Driver->CommDriver(), nullptr);
}

TEST(SerialConnection, WrongIdentificationOrFirmwareNeedsAnUpdate) {
    struct TCase {
        const char* Id;
        const char* Firmware;
        const char* Read; // what the message says was read
    };
    for (const auto& c : {TCase{"VORIZORUX", "000A", "identification 'VORIZORUV' expected, 'VORIZORUX' read"},
                          TCase{"VORIZORUV", "0009", "firmware '000A' expected, '0009' read"},
                          TCase{"VORIZORUV", "000B", "firmware '000A' expected, '000B' read"},
                          TCase{"VORIZORUV", "000a", "firmware '000A' expected, '000a' read"}}) {
        TUnitConfig unit;
        unit.Identification = c.Id;
        unit.FirmwareVersion = c.Firmware;
        TSimRig rig("24C02", unit);
        try {
            rig.Driver->HardwareOpen();
            ADD_FAILURE() << c.Id << " " << c.Firmware << " opened";
        } catch (const EFirmwareMisMatch& e) {
            EXPECT_EQ(e.Message(), std::string("Your ISP needs a firmware update (") + c.Read + ")");
        }
    }
}

// A byte of the identification or the firmware version garbled on the
// line: asked for once more, so a good unit opens, and the operator is not
// sent to reflash it. Two different wrong answers are the link's fault.
TEST(SerialConnection, AGarbledIdentificationIsAskedForAgainNotTakenForAnotherFirmware) {
    const auto garble = [](char Letter, std::uint64_t Nth, std::uint8_t Bits) {
        TCommandFault f;
        f.Kind = TCommandFault::TKind::Garble;
        f.Letter = Letter;
        f.Nth = Nth;
        f.Byte = Bits;
        return f;
    };
    struct TCase {
        const char* What;
        std::vector<TCommandFault> Faults;
        const char* Outcome; // "" when the unit opens
    };
    const TCase cases[] = {
        {"identification garbled once", {garble('S', 1, 0x08)}, ""},
        {"firmware version garbled once", {garble('v', 1, 0x01)}, ""},
        {"identification garbled twice, differently",
         {garble('S', 1, 0x08), garble('S', 2, 0x02)},
         "The programmer's identification reads differently each time ('VORIZORUV' expected, "
         "'^ORIZORUV', then 'TORIZORUV' read): the link garbles its replies; check the cable and the port"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TUnitConfig unit;
        unit.Faults.CommandFaults = c.Faults;
        TSimRig rig("24C02", unit);
        std::string hardware = "?";
        EXPECT_EQ(MessageOf([&] { rig.Driver->HardwareOpen(); }, &hardware),
                  *c.Outcome ? c.Outcome : "(nothing raised)");
        if (*c.Outcome) {
            EXPECT_EQ(hardware, "");
        }
    }
}

// A reply the unit held up past the end of a failed run (a stall longer
// than the read's time limit) arrives while the next open settles the line:
// it is drained, not read as the probe's and the identification's answer.
TEST(SerialConnection, AReplyHeldUpPastAFailedRunDoesNotPoisonTheNextOpen) {
    TUnitConfig unit;
    TCommandFault stall;
    stall.Kind = TCommandFault::TKind::Stall;
    stall.Letter = 'R';
    stall.Nth = 3;
    stall.Delay = 2500ms; // the page read gives up after 2 s
    unit.Faults.CommandFaults.push_back(stall);
    TSimRig rig("24C02", unit);
    rig.Open();
    rig.Chip().Memory()[0x20] = 0x5A;
    rig.Buffer.SetSizeof(256);
    EXPECT_NE(MessageOf([&] { rig.Driver->ReadFlash(rig.Buffer); }), "(nothing raised)");
    rig.Driver->HardwareClose();
    // The next run on the same unit and line.
    EXPECT_EQ(MessageOf([&] { rig.Driver->HardwareOpen(); }), "(nothing raised)");
    EXPECT_EQ(MessageOf([&] { rig.Driver->ReadFlash(rig.Buffer); }), "(nothing raised)");
    EXPECT_EQ(rig.Buffer.HexData[0x20], 0x5A);
}

TEST(SerialConnection, ProbeRepliesAndSilence) {
    // "?" and a code in answer to the probe: the identification still counts.
    {
        TUnitConfig unit;
        unit.Faults.CommandFaults.push_back({TCommandFault::TKind::Error, '*', 1, '!'});
        TSimRig rig("24C02", unit);
        EXPECT_TRUE(rig.Driver->HardwareOpen());
    }
    // Nothing after the probe within 2 s, nor after the second probe: not
    // detected, with no hardware name, and the front end was kept alive
    // while waiting.
    {
        TUnitConfig unit;
        unit.Faults.HangAfterBytes = 0;
        TSimRig rig("24C02", unit);
        int alive = 0;
        rig.Driver->SetOnProgressUpdate([&](int i, int m) {
            EXPECT_EQ(i, -1);
            EXPECT_EQ(m, -1);
            ++alive;
        });
        std::string hardware = "?";
        EXPECT_EQ(MessageOf([&] { rig.Driver->HardwareOpen(); }, &hardware), "Programmer was not detected");
        EXPECT_EQ(hardware, "");
        EXPECT_GE(alive, 80); // every 50 ms for 2 x 2 s
        // Before each probe, the wait for a quiet line.
        EXPECT_GE(rig.Driver->Link().Clock().Now(), 5000ms + 2 * TSmartSerial::kQuietLine);
        EXPECT_LT(rig.Driver->Link().Clock().Now(), 5010ms + 2 * TSmartSerial::kQuietLine);
    }
}

TEST(SerialConnection, WriteDelayDefaultsToTheDevicesAndIsNotFrozen) {
    for (const auto& [name, expected] :
         {std::pair<const char*, int>{"24C64", 5}, {"25C640", 5}, {"93C86", 2}}) {
        TSimRig rig(name);
        rig.Settings.SetSetting("NORVO ISP (SIM)", "EEPROMtime", ss_global, std::int32_t{0});
        rig.Driver->HardwareOpen();
        EXPECT_EQ(rig.Driver->EEPROMTime, expected) << name;
        rig.Driver->HardwareClose();
        // Not the operator's choice: stored as 0, "the device's".
        EXPECT_EQ(rig.Settings.GetInteger("NORVO ISP (SIM)", "EEPROMtime", -1), 0) << name;
        EXPECT_EQ(rig.Settings.GetInteger("NORVO ISP (SIM)", "EEPROMtimeChosen", -1), 0) << name;
    }
    // A chosen delay and clock speed reach the unit.
    TSimRig rig("24C02");
    rig.Settings.SetSetting("NORVO ISP (SIM)", "EEPROMtime", ss_global, std::int32_t{7});
    rig.Settings.SetSetting("NORVO ISP (SIM)", "EEPROMtimeChosen", ss_global, std::int32_t{1});
    rig.Settings.SetSetting("NORVO ISP (SIM)", "Clockspeed", ss_global, std::int32_t{32});
    rig.Driver->HardwareOpen();
    EXPECT_EQ(rig.Commands().back(), "E20");
    rig.Clear();
    rig.Driver->ProgramFlash(rig.Buffer);
    EXPECT_EQ(rig.Commands()[3], "D07");
    EXPECT_EQ(rig.Driver->Unit().WriteDelayMs(), 7);
    rig.Driver->HardwareClose();
    EXPECT_EQ(rig.Settings.GetInteger("NORVO ISP (SIM)", "EEPROMtime", -1), 7);
}

// One run with a 93C86 (2 ms) must not leave 2 ms for the 24C and 25C parts
// after it: each open takes its device's delay unless the operator chose
// one, and a chosen one holds for every device. The settings go from run to
// run as the registry carries them.
TEST(SerialConnection, OneDevicesWriteDelayIsNotCarriedToTheNext) {
    TISPSettings registry;
    auto carry = [](const TISPSettings& From, TISPSettings& To) {
        for (const auto& s : From.Settings())
            To.SetSetting(s.Module, s.Name, s.Scope, s.Value);
    };
    // A program run (the "D" command sent, if any), or an options dialog
    // returning Chosen (the delay the dialog showed).
    auto run = [&](const char* Device, int Chosen = -1) {
        TSimRig rig(Device);
        carry(registry, rig.Settings);
        rig.Open();
        int shown = -1;
        std::string d;
        if (Chosen >= 0) {
            rig.Host.DialogSetup = [&shown, Chosen](TFakeDialog& Dialog) {
                Dialog.EEPROM = static_cast<std::uint8_t>(Chosen);
                Dialog.ShownEEPROM = &shown;
            };
            rig.Driver->AskOptions();
            d = "shown " + std::to_string(shown);
        } else {
            rig.Driver->ProgramFlash(rig.Buffer);
            for (const auto& c : rig.Commands())
                if (c[0] == 'D') d = c;
        }
        rig.Driver->HardwareClose();
        carry(rig.Settings, registry);
        return d;
    };
    EXPECT_EQ(run("93C86"), "");     // Microwire sends no write delay
    EXPECT_EQ(run("24C256"), "D05"); // not the 93C86's 2 ms
    EXPECT_EQ(run("25C640"), "D05");
    // The dialog shows 0 ("the device's") and the operator chooses 12 ms.
    EXPECT_EQ(run("93C86", 12), "shown 0");
    EXPECT_EQ(run("24C256"), "D0C");
    EXPECT_EQ(run("25C640"), "D0C");
    // The dialog shows the choice; 0 gives the delay back to each device.
    EXPECT_EQ(run("24C02", 0), "shown 12");
    EXPECT_EQ(run("25C640"), "D05");
    EXPECT_EQ(registry.GetInteger("NORVO ISP (SIM)", "EEPROMtime", -1), 0);
}

TEST(SerialConnection, PortNamesFollowTheStoredIndex) {
    for (const auto& [index, name] :
         {std::pair<int, const char*>{0, "COM1"}, {1, "COM2"}, {2, "\\\\.\\COM3"}, {9, "\\\\.\\COM10"}}) {
        TSimRig rig("24C02");
        rig.Settings.SetSetting("NORVO ISP (SIM)", "BASEPORT", ss_global, std::int32_t{index});
        rig.Driver->HardwareOpen();
        EXPECT_EQ(rig.Driver->CommDriver()->DeviceName(), name);
        EXPECT_EQ(rig.Driver->PortName(), name);
    }
}

TEST(SerialConnection, AFailedFamilySelectionReopensTheUnitOnce) {
    TSimRig rig("24C02");
    rig.Open();
    rig.Driver->Unit().Faults().CommandFaults.push_back({TCommandFault::TKind::Error, 'M', 1, '!'});
    rig.Driver->ReadFlash(rig.Buffer);
    const auto seen = Events(rig.Driver->Unit().Transcript());
    const std::vector<std::string> start(seen.begin(), seen.begin() + 19);
    EXPECT_EQ(start, (std::vector<std::string>{"M00", "DTR cleared", "RTS cleared", "DTR set", "RTS set",
                                               "DTR cleared", "RTS cleared", "DTR set", "RTS set", "*", "S",
                                               "v", "E01", "M00", "Z", "P02", "%", "X", "w A0"}));
    EXPECT_EQ(seen.back(), "$");

    // A second failure is the operation's.
    rig.Driver->Unit().Faults().CommandFaults.push_back({TCommandFault::TKind::Error, 'M', 0, '!'});
    EXPECT_EQ(MessageOf([&] { rig.Driver->ReadFlash(rig.Buffer); }), "Command not known here");
}

TEST(SerialConnection, SmallOperations) {
    TSimRig rig("25C040");
    rig.Open();
    rig.Driver->Run(0);
    rig.Driver->Run(1);
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"P00", "P01"}));
    EXPECT_EQ(rig.Driver->Unit().ResetPolarity(), 1);
    rig.Driver->WriteTiming(8);
    EXPECT_EQ(rig.Driver->ProgMode(), 8);
    EXPECT_EQ(rig.Driver->ReadTiming(), 0);
    EXPECT_EQ(rig.Driver->ReadCal(), 1);
    EXPECT_EQ(rig.Driver->GetFirmwareFileName(), "VORIZORUV");
    EXPECT_EQ(rig.Driver->HardwareID(), "VORIZORUV");
}

TEST(SerialConnection, StatusReport) {
    TSimRig rig("24C16");
    rig.Open();
    rig.Driver->ShowStatus("1.0.0.0");
    ASSERT_EQ(rig.Host.Shown.size(), 1u);
    EXPECT_EQ(rig.Host.Shown[0].Caption, "Information");
    EXPECT_EQ(
        rig.Host.Shown[0].Lines,
        (std::vector<std::string>{
            "======== Programmer Connection =======", "Hardware Selected: NORVO ISP (SIM)",
            "Connection Method: Serial Port", "Port Number: 1", "Driver Status: Connected",
            "Max Read Timeout: 50000", "Max Write Timeout: 50000",
            "======== General Information =======", "Programmer ID: VORIZORUV", "Hardware Version: 0102",
            "Firmware Version: 000A", "======== Device Information =======", "Device Selected: 24C16"}));

    // The unit stops answering: the family selection, its reopen and the
    // identification fail, and the report says so.
    rig.Driver->Unit().CutLink();
    rig.Driver->ShowStatus("1.0.0.0");
    ASSERT_EQ(rig.Host.Shown.size(), 2u);
    EXPECT_EQ(rig.Host.Shown[1].Lines,
              (std::vector<std::string>{
                  "======== Programmer Connection =======", "Hardware Selected: NORVO ISP (SIM)",
                  "Connection Method: Serial Port", "Port Number: 1", "Driver Status: Connected",
                  "Max Read Timeout: 50000", "Max Write Timeout: 50000",
                  "*Communications to Programmer Failed", "======== General Information ======="}));
}

TEST(SerialConnection, OptionsDialog) {
    TSimRig rig("24C02");
    rig.Open();
    rig.Settings.SetSetting("NORVO ISP (SIM)", "EEPROMtime", ss_global, std::int32_t{5});
    // Cancelled: nothing changes, nothing is sent, nothing is raised.
    rig.Host.DialogSetup = [](TFakeDialog& d) {
        d.Ok = false;
        d.Port = 3;
        d.EEPROM = 9;
    };
    EXPECT_NO_THROW(rig.Driver->AskOptions());
    EXPECT_EQ(rig.Driver->ABasePort, 0);
    EXPECT_EQ(rig.Driver->EEPROMTime, 5);
    EXPECT_TRUE(rig.Commands().empty());
    EXPECT_EQ(rig.Host.DialogPorts, (std::vector<std::string>{"COM1"}));

    // Confirmed: the choices are stored and the unit is opened again on them.
    rig.Host.DialogSetup = [](TFakeDialog& d) {
        d.Port = 1;
        d.EEPROM = 9;
        d.Flash = 3;
    };
    rig.Driver->AskOptions();
    EXPECT_EQ(rig.Settings.GetInteger("NORVO ISP (SIM)", "BASEPORT", -1), 1);
    EXPECT_EQ(rig.Settings.GetInteger("NORVO ISP (SIM)", "EEPROMtime", -1), 9);
    EXPECT_EQ(rig.Driver->CommDriver()->DeviceName(), "COM2");
    EXPECT_EQ(rig.Driver->FlashTime, 3);
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"*", "S", "v", "E01"}));
}

// ---------------------------------------------------------------- parallel

// The printer port, faked: pin writes are recorded; a rising RESET restarts
// the simulated unit, which then offers its identification.
struct TFakeLpt : TParallelPort {
    TProgrammerUnit* Unit = nullptr;
    bool CanOpen = true;
    int IsActive = 0;
    int Lpt = 0;
    std::uint8_t Mode = 0;
    bool Level[18] = {};
    std::vector<std::pair<int, bool>> Writes;

    int Active() const override { return IsActive; }
    void SetActive(int Value) override { IsActive = CanOpen ? Value : 0; }
    void SetCurrentLPT(int Number) override { Lpt = Number; }
    void SetCurrentLptMode(std::uint8_t Value) override { Mode = Value; }
    int NumLPTs() const override { return 3; }
    std::uint16_t BasePortAddress() const override { return 0x378; }
    bool Pin(int Number) override { return Level[Number]; }
    void SetPin(int Number, bool High) override {
        Writes.emplace_back(Number, High);
        const bool rising = High && !Level[Number];
        Level[Number] = High;
        if (Number == 1 && rising && Unit) Unit->Reset();
    }
};

// The parallel driver with its byte layer on the simulated byte link in
// place of the pin handshake.
class TParallelOnLink : public TSmartParallel {
  public:
    explicit TParallelOnLink(TByteLink& Link) : FLink(Link), FClock(Link) {}
    void Writedata(std::uint8_t Adata) override { FLink.WriteByte(Adata); }
    std::uint8_t ReadData(bool) override {
        std::uint8_t b = 0;
        if (FLink.Read(&b, 1, 10s) == 0) Fail("Communications with ISP failed during this operation");
        return b;
    }
    bool WaitReady() override { return true; }
    TLinkClock& Clock() override { return FClock; }

  private:
    TByteLink& FLink;
    TSimLinkClock FClock;
};

class ParallelConnection : public ::testing::Test {
  protected:
    void Make(TUnitConfig Config = {}) {
        Unit = std::make_unique<TProgrammerUnit>(std::move(Config));
        Unit->Transcript().SetKeep(true);
        Unit->InsertChip(MakeChip("24C02"));
        Link = std::make_unique<TByteLink>(*Unit);
        Driver = std::make_unique<TParallelOnLink>(*Link);
        Driver->SetHardwareName("NORVO ISP (LPT)");
        Driver->SetSaveLocation(&Settings);
        Driver->SetDevice(DeviceList().GetNewDeviceInstance("24C02", TProgrammerSupport{pk_eisp}));
        auto port = std::make_unique<TFakeLpt>();
        port->Unit = Unit.get();
        Lpt = port.get();
        SmartDongle::Port = std::move(port);
        SmartDongle::ClockSpeed = 1;
        SetDriverHost(&Host);
    }
    void TearDown() override {
        SmartDongle::Port.reset();
        SetDriverHost(nullptr);
    }

    std::unique_ptr<TProgrammerUnit> Unit;
    std::unique_ptr<TByteLink> Link;
    std::unique_ptr<TParallelOnLink> Driver;
    TFakeLpt* Lpt = nullptr;
    TISPSettings Settings;
    TFakeHost Host;
};

TEST_F(ParallelConnection, OpenResetsAndIdentifiesTheUnitOnLpt1To3) {
    Make();
    Settings.SetSetting("NORVO ISP (LPT)", "BASEPORT", ss_global, std::int32_t{5});
    EXPECT_TRUE(Driver->HardwareOpen());
    EXPECT_EQ(Lpt->IsActive, 1);
    EXPECT_EQ(Lpt->Lpt, 1); // only LPT1 to LPT3 can be chosen
    EXPECT_EQ(Lpt->Mode, LPT_EPP_MODE);
    std::vector<std::pair<int, bool>> expected;
    for (int p = 1; p <= 17; ++p)
        expected.emplace_back(p, false);
    for (int p = 2; p <= 9; ++p)
        expected.emplace_back(p, true);
    expected.insert(expected.end(), {{14, false}, {17, false}, {1, false}, {1, true}});
    EXPECT_EQ(Lpt->Writes, expected);
    EXPECT_EQ(CommandTexts(Unit->Transcript()), (std::vector<std::string>{"v", "M00", "Z", "E01"}));
    // 300 ms of power settling and two 500 ms reset phases before the identification.
    EXPECT_GE(Link->Clock().Now(), 1300ms);

    Driver->HardwareClose();
    EXPECT_EQ(Lpt->IsActive, 0);
    EXPECT_FALSE(Lpt->Level[1]);
    EXPECT_FALSE(Lpt->Level[17]);
    EXPECT_EQ(Settings.GetInteger("NORVO ISP (LPT)", "BASEPORT", -1), 0);
}

TEST_F(ParallelConnection, OpenFailures) {
    Make();
    SmartDongle::Port.reset();
    EXPECT_EQ(MessageOf([&] { Driver->HardwareOpen(); }), "LPT port not found or in use by another program");

    Make();
    Lpt->CanOpen = false;
    EXPECT_EQ(MessageOf([&] { Driver->HardwareOpen(); }), "LPT port not found or in use by another program");

    TUnitConfig silent;
    silent.IdentifyOnReset = false;
    Make(silent);
    std::string hardware = "?";
    EXPECT_EQ(MessageOf([&] { Driver->HardwareOpen(); }, &hardware), "Programmer was not detected");
    EXPECT_EQ(hardware, "");

    TUnitConfig other;
    other.Identification = "VORIZORUX";
    Make(other);
    EXPECT_THROW(Driver->HardwareOpen(), EFirmwareMisMatch);

    TUnitConfig refusing;
    refusing.Faults.CommandFaults.push_back({TCommandFault::TKind::Error, 'M', 1, '!'});
    Make(refusing);
    EXPECT_EQ(MessageOf([&] { Driver->HardwareOpen(); }, &hardware),
              "ISP is not responding, check your communications settings");
    EXPECT_EQ(hardware, "NORVO ISP (LPT)");
}

TEST_F(ParallelConnection, StatusReportWithTheUnitUnplugged) {
    Make();
    Driver->HardwareOpen();
    Unit->CutLink();
    Driver->ShowStatus("1.2.3.4");
    ASSERT_EQ(Host.Shown.size(), 1u);
    EXPECT_EQ(Host.Shown[0].Caption, "ISP Information");
    EXPECT_EQ(Host.Shown[0].Version, "1.2.3.4");
    EXPECT_EQ(Host.Shown[0].Firmware, "Unknown Hardware not available");
    EXPECT_EQ(Host.Shown[0].Lines,
              (std::vector<std::string>{"Printer Port: LPT1 Port Address:378", "Printer Port Driver: OK",
                                        "*Communications to Programmer Failed",
                                        "======== General Information ======="}));

    Unit->Reconnect();
    Driver->ShowStatus("1.2.3.4");
    EXPECT_EQ(Host.Shown[1].Firmware, "000A");
    EXPECT_EQ(Host.Shown[1].Lines.back(), "Device Selected: 24C02");
}

TEST_F(ParallelConnection, OptionsDialog) {
    Make();
    Driver->HardwareOpen();
    EXPECT_THROW(Driver->AskOptions(), EAbort); // no dialog in this front end
    Host.DialogSetup = [](TFakeDialog& d) { d.Ok = false; };
    try {
        Driver->AskOptions();
        ADD_FAILURE() << "a cancelled dialog must abort silently";
    } catch (const EAbort& e) {
        EXPECT_EQ(e.Message(), "Cancelled");
    }
    EXPECT_EQ(Host.DialogPorts, (std::vector<std::string>{"LPT1", "LPT2", "LPT3"}));
    Host.DialogSetup = [](TFakeDialog& d) {
        d.Port = 1;
        d.EEPROM = 12;
    };
    Driver->AskOptions();
    EXPECT_EQ(Lpt->Lpt, 2);
    EXPECT_EQ(Settings.GetInteger("NORVO ISP (LPT)", "BASEPORT", -1), 1);
    EXPECT_EQ(Settings.GetInteger("NORVO ISP (LPT)", "EEPROMtime", -1), 12);
}

} // namespace
