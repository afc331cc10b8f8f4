// Opening the unit on the printer port through the port object and the
// simulated port of every kind: the pin sequence, the pauses, slot choice,
// identification and firmware checks, the status report, and the registered
// kind on the simulated port.
#include "errors/errors.h"
#include "kinds/hardware.h"
#include "lpt_rig.h"
#include "programmer/unit/smart_dongle.h"
#include "sim_kinds/smart_lpt_sim.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace std::chrono_literals;

TSimLptSetup Kind(TSimLptKind Kind, std::uint16_t Base = 0x378) {
    TSimLptSetup s;
    s.Kind = Kind;
    s.Base = Base;
    return s;
}

TEST(LptConnection, OpensAndReportsOnEveryKindOfPort) {
    struct TCase {
        const char* Name;
        TSimLptKind Kind;
        std::uint16_t Base;
        const char* PortLine;
    };
    const TCase cases[] = {
        {"ECP", TSimLptKind::Ecp, 0x378, "Printer Port: LPT1 Port Address:378"},
        {"EPP", TSimLptKind::Epp, 0x378, "Printer Port: LPT1 Port Address:378"},
        {"PS/2", TSimLptKind::Ps2, 0x278, "Printer Port: LPT1 Port Address:278"},
        {"SPP", TSimLptKind::Spp, 0x378, "Printer Port: LPT1 Port Address:378"},
        {"0x3BC", TSimLptKind::ThreeRegisters, 0x3BC, "Printer Port: LPT1 Port Address:3BC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TLptRig rig("24C02", Kind(c.Kind, c.Base));
        EXPECT_TRUE(rig.Driver.HardwareOpen());
        EXPECT_EQ(CommandTexts(rig.Unit().Transcript()), (std::vector<std::string>{"v", "M00", "Z", "E01"}));
        // 300 ms with the pins low, 500 ms in reset, 500 ms after it.
        EXPECT_GE(rig.Seconds(), 1.3);
        EXPECT_LT(rig.Seconds(), 1.4);
        TSimPrinterPort& port = *rig.Port().Io().PortAt(c.Base);
        EXPECT_EQ(port.DataLatch(), 0xFF); // the unit's supply
        EXPECT_TRUE(port.OutputLevel(1));  // out of reset
        EXPECT_FALSE(port.OutputLevel(17));
        EXPECT_FALSE(port.OutputLevel(14));
        EXPECT_FALSE(port.DataInput());
        if (c.Kind == TSimLptKind::Ecp) {
            EXPECT_EQ(port.EcrMode(), 0b100); // switched to EPP
        }

        rig.Driver.ShowStatus("1.0.0.0");
        ASSERT_EQ(rig.Host.Shown.size(), 1u);
        EXPECT_EQ(
            rig.Host.Shown[0].Lines,
            (std::vector<std::string>{c.PortLine, "Printer Port Driver: OK",
                                      "======== General Information =======", "Programmer ID: VORIZORUV",
                                      "Hardware Version: 0102", "Device Selected: 24C02"}));
        EXPECT_EQ(rig.Host.Shown[0].Firmware, "000A");

        rig.Driver.HardwareClose();
        EXPECT_FALSE(port.OutputLevel(1)); // unit held in reset
        EXPECT_EQ(rig.Port().Active(), 0);
    }
}

TEST(LptConnection, WrongIdentificationOrFirmwareNeedsAnUpdate) {
    struct TCase {
        const char* Id;
        const char* Firmware;
        const char* Read; // what the message says was read
    };
    for (const auto& c : {TCase{"VORIZORUX", "000A", "identification 'VORIZORUV' expected, 'VORIZORUX' read"},
                          TCase{"VORIZORUV", "0009", "firmware '000A' expected, '0009' read"},
                          TCase{"VORIZORUV", "000B", "firmware '000A' expected, '000B' read"},
                          TCase{"VORIZORUV", "000a", "firmware '000A' expected, '000a' read"}}) {
        SCOPED_TRACE(std::string(c.Id) + " " + c.Firmware);
        TSimLptSetup setup;
        setup.Unit.Identification = c.Id;
        setup.Unit.FirmwareVersion = c.Firmware;
        TLptRig rig("24C02", setup);
        try {
            rig.Driver.HardwareOpen();
            ADD_FAILURE() << "opened";
        } catch (const EFirmwareMisMatch& e) {
            EXPECT_EQ(e.Message(), std::string("Your ISP needs a firmware update (") + c.Read + ")");
        }
    }
}

TEST(LptConnection, SilentAndRefusingUnits) {
    TSimLptSetup silent;
    silent.Unit.IdentifyOnReset = false;
    TLptRig quiet("24C02", silent);
    std::string hardware = "?";
    EXPECT_EQ(MessageOf([&] { quiet.Driver.HardwareOpen(); }, &hardware), "Programmer was not detected");
    EXPECT_EQ(hardware, "");

    TSimLptSetup refusing;
    refusing.Unit.Faults.CommandFaults.push_back({TCommandFault::TKind::Error, 'M', 1, '!'});
    TLptRig rig("24C02", refusing);
    EXPECT_EQ(MessageOf([&] { rig.Driver.HardwareOpen(); }, &hardware),
              "ISP is not responding, check your communications settings");
    EXPECT_EQ(hardware, "NORVO ISP (LPT)");
}

TEST(LptConnection, TheStoredSlotChoosesThePort) {
    // The unit is on 0x378; 0x278 has nothing plugged in.
    TSimLptSetup setup;
    setup.OtherPorts = {{0x278, TSimLptKind::Spp}};
    {
        TLptRig rig("24C02", setup);
        rig.Settings.SetSetting("NORVO ISP (LPT)", "BASEPORT", ss_global, std::int32_t{1});
        EXPECT_EQ(MessageOf([&] { rig.Driver.HardwareOpen(); }), "Programmer was not detected");
        EXPECT_EQ(rig.Port().BasePortAddress(), 0x278);
    }
    {
        // Only two ports: LPT3 has none and is refused without touching a port.
        TLptRig rig("24C02", setup);
        rig.Settings.SetSetting("NORVO ISP (LPT)", "BASEPORT", ss_global, std::int32_t{2});
        EXPECT_EQ(MessageOf([&] { rig.Driver.HardwareOpen(); }),
                  "LPT3 not found: no printer port is known at that slot");
    }
    {
        // Beyond LPT3: LPT1, and 0 is stored on close.
        TLptRig rig("24C02", setup);
        rig.Settings.SetSetting("NORVO ISP (LPT)", "BASEPORT", ss_global, std::int32_t{5});
        EXPECT_TRUE(rig.Driver.HardwareOpen());
        EXPECT_EQ(rig.Port().BasePortAddress(), 0x378);
        rig.Driver.HardwareClose();
        EXPECT_EQ(rig.Settings.GetInteger("NORVO ISP (LPT)", "BASEPORT", -1), 0);
    }
}

TEST(LptConnection, OptionsDialogListsThePorts) {
    TSimLptSetup setup;
    setup.OtherPorts = {{0x278, TSimLptKind::Spp}, {0x3BC, TSimLptKind::ThreeRegisters}};
    TLptRig rig("24C02", setup);
    rig.Open();
    rig.Host.DialogSetup = [](TFakeDialog& d) { d.Ok = false; };
    EXPECT_THROW(rig.Driver.AskOptions(), EAbort);
    EXPECT_EQ(rig.Host.DialogPorts, (std::vector<std::string>{"LPT1", "LPT2", "LPT3"}));
}

TEST(LptConnection, StatusReportWithTheUnitUnplugged) {
    TLptRig rig("24C02");
    rig.Open();
    rig.Unit().CutLink();
    TStepClock clock;
    rig.Driver.SetClock(&clock);
    rig.Driver.ShowStatus("1.2.3.4");
    ASSERT_EQ(rig.Host.Shown.size(), 1u);
    EXPECT_EQ(rig.Host.Shown[0].Firmware, "Unknown Hardware not available");
    EXPECT_EQ(rig.Host.Shown[0].Lines,
              (std::vector<std::string>{"Printer Port: LPT1 Port Address:378", "Printer Port Driver: OK",
                                        "*Communications to Programmer Failed",
                                        "======== General Information ======="}));
    // The family selection failed at once (its byte was not taken); the
    // reopen waited 1.3 s and then 10 s for the identification.
    EXPECT_GT(clock.Now(), 11300ms);
}

TEST(LptConnection, AFailedFamilySelectionReopensTheUnitOnce) {
    TLptRig rig("24C02");
    rig.Open();
    rig.Unit().Faults().CommandFaults.push_back({TCommandFault::TKind::Error, 'M', 1, '!'});
    rig.Driver.ReadFlash(rig.Buffer);
    const auto seen = rig.Commands();
    const std::vector<std::string> start(seen.begin(), seen.begin() + 9);
    EXPECT_EQ(start, (std::vector<std::string>{"M00", "v", "M00", "Z", "E01", "M00", "Z", "P02", "%"}));
    EXPECT_EQ(seen.back(), "$");
}

// ---------------------------------------------------------------- the registered kind

class TEnv {
  public:
    TEnv(const char* Name, const char* Value) : FName(Name) { setenv(Name, Value, 1); }
    ~TEnv() { unsetenv(FName); }

  private:
    const char* FName;
};

TEST(LptSimKind, TheEnvironmentChoosesTheSimulatedPort) {
    struct TCase {
        const char* Value;
        std::optional<TSimLptKind> Kind;
        std::uint16_t Base;
    };
    const TCase cases[] = {{"", std::nullopt, 0},
                           {"0", std::nullopt, 0},
                           {"1", TSimLptKind::Ecp, 0x378},
                           {"ECP", TSimLptKind::Ecp, 0x378},
                           {"epp", TSimLptKind::Epp, 0x378},
                           {"ps2", TSimLptKind::Ps2, 0x378},
                           {"spp", TSimLptKind::Spp, 0x378},
                           {"3bc", TSimLptKind::ThreeRegisters, 0x3BC}};
    for (const auto& c : cases) {
        TEnv env("NORVOISP_LPT_SIM", c.Value);
        const auto setup = TSimLptSetup::FromEnvironment();
        ASSERT_EQ(setup.has_value(), c.Kind.has_value()) << c.Value;
        if (setup) {
            EXPECT_EQ(setup->Kind, *c.Kind);
            EXPECT_EQ(setup->Base, c.Base);
        }
    }
    TEnv bad("NORVOISP_LPT_SIM", "yes");
    EXPECT_EQ(MessageOf([] { TSimLptSetup::FromEnvironment(); }),
              "NORVOISP_LPT_SIM must be 1, ecp, epp, ps2, spp, 3bc or ppdev (it is \"yes\")");
    // The registered kind reports it when a driver is made.
    EXPECT_EQ(MessageOf([] { GetNewHardwareInstance(GetHardwareIndex("Norvo ISP (LPT)")); }),
              "NORVOISP_LPT_SIM must be 1, ecp, epp, ps2, spp, 3bc or ppdev (it is \"yes\")");
}

TEST(LptSimKind, TheRegisteredKindProgramsOnTheSimulatedPort) {
    const int index = GetHardwareIndex("Norvo ISP (LPT)");
    TEnv env("NORVOISP_LPT_SIM", "1");
    auto driver = GetNewHardwareInstance(index);
    auto* sim = dynamic_cast<TSmartLptSim*>(driver.get());
    ASSERT_NE(sim, nullptr);
    ISPClose();
    SmartDongle::Port = std::make_unique<TSimParallelPort>(*TSimLptSetup::FromEnvironment());
    TISPSettings settings;
    TFakeHost host;
    SetDriverHost(&host);
    TDevice* device = DeviceList().GetNewDeviceInstance("24C16", TProgrammerSupport{pk_eisp});
    sim->SetSaveLocation(&settings);
    sim->SetDevice(device);
    SmartDongle::PageSize = device->PageSize();
    ASSERT_TRUE(sim->HardwareOpen());
    THexList buffer;
    buffer.SetSizeof(2048);
    for (std::uint32_t i = 0; i < buffer.Size(); ++i)
        buffer.HexData[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    sim->ProgramFlash(buffer);
    auto& port = sim->SimPort();
    EXPECT_EQ(port.Unit().Chip()->Name(), "24C16");
    EXPECT_EQ(port.Unit().Chip()->Memory(), buffer.HexData);
    EXPECT_NO_THROW(sim->VerifyFlash(buffer));
    // Time ran on the unit's clock: well over the open's 1.3 s, no real wait.
    EXPECT_GT(port.Unit().Clock().Seconds(), 1.3);
    sim->HardwareClose();
    SetDriverHost(nullptr);
    ISPClose();

    // On the computer's own port the kind says what is missing.
    SmartDongle::Port = NewSystemParallelPort();
    TSmartLptSim orphan{TSimOptions{}};
    orphan.SetDevice(device);
    EXPECT_EQ(MessageOf([&] { orphan.EnsureChip(); }),
              "No simulated printer port: NORVOISP_LPT_SIM must be set when the program starts");
    SmartDongle::Port.reset();
}

} // namespace
