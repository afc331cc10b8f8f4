#include "sim_kinds/sim_kinds.h"

#include "errors/errors.h"
#include "programmer/ch341a/ch341a_driver.h"
#include "programmer/ch341a/ch341a_module.h"
#include "programmer/unit/parallel_port.h"
#include "programmer/unit/smart_dongle.h"
#include "sim_kinds/sim_ch341_bus.h"
#include "sim_kinds/sim_parallel_port.h"
#include "sim_kinds/smart_lpt_sim.h"
#include "sim_kinds/smart_sim.h"

#include <cstdlib>
#include <string>

namespace {

// A bus that cannot be used; it reports why on every call.
class TRefusedBus : public TUsbBulkBus {
  public:
    explicit TRefusedBus(std::string Why) : FWhy(std::move(Why)) {}
    std::vector<TUsbDeviceInfo> Find(std::uint16_t, std::uint16_t) override { throw EISPException(FWhy); }
    std::unique_ptr<TUsbTransfer> Open(const TUsbOpenRequest&) override { throw EISPException(FWhy); }

  private:
    std::string FWhy;
};

std::unique_ptr<TISPProgrammer> NewLptDriver() {
    // A value the variable does not know is reported here, when the driver is made.
    if (TSimLptSetup::FromEnvironment()) return std::make_unique<TSmartLptSim>();
    return LptKind.NewInstance();
}

// The simulated printer port when NORVOISP_LPT_SIM asks for it at start-up
// (a value it does not know leaves the computer's port: the driver reports
// it when it is made), then the unit module's start-up.
void StartUpLpt() {
    std::optional<TSimLptSetup> setup;
    try {
        setup = TSimLptSetup::FromEnvironment();
    } catch (const EISPException&) {
    }
    if (setup)
        SetParallelPortFactory(
            [setup = std::move(*setup)] { return std::make_unique<TSimParallelPort>(setup); });
    if (LptKind.StartUp) LptKind.StartUp();
}

std::unique_ptr<TISPProgrammer> NewCh341aDriver() {
    bool simulated = false;
    try {
        simulated = Ch341SimulationRequested();
    } catch (const EISPException& e) {
        // Reported when the driver is opened, where the message is shown.
        return std::make_unique<TCh341A>(std::make_unique<TRefusedBus>(e.Message()));
    }
    if (!simulated) return Ch341aKind.NewInstance();
    auto driver = std::make_unique<TCh341A>(nullptr);
    driver->SetUsbBus(std::make_unique<TSimCh341Bus>(*driver, TSimOptions::FromEnvironment()));
    return driver;
}

} // namespace

bool Ch341SimulationRequested() {
    const char* v = std::getenv("NORVOISP_CH341_SIM");
    const std::string value = v ? v : "";
    if (value.empty() || value == "0") return false;
    if (value == "1") return true;
    throw EISPException("NORVOISP_CH341_SIM must be 1 (the emulated board) or 0 (it is \"" + value + "\")");
}

std::unique_ptr<TISPProgrammer> GetNewSmartSimPsi() {
    return std::make_unique<TSmartSim>();
}

const THardwareKind SimKind = {
    .Name = SimHardwareName,
    .Visible = true,
    .Caption = SimHardwareCaption,
    .Support = TProgrammerSupport{pk_eisp},
    .NewInstance = GetNewSmartSimPsi,
    .StartUp = nullptr,
    .Simulated = true,
    .PortSyntax = "",
    .Needs = "nothing: the programmer unit simulated in the program, with a chip of the device chosen",
    .ApplyPort = nullptr,
    .ApplyClock = ApplyUnitClock,
    .ApplyBaud = ApplyUnitBaud,
    .ApplyWriteTime = ChooseWriteTime,
    .PortName = nullptr,
};

const THardwareKind& LptKindWithSimulation() {
    static const THardwareKind kind = [] {
        THardwareKind k = LptKind;
        k.NewInstance = NewLptDriver;
        k.StartUp = StartUpLpt;
        return k;
    }();
    return kind;
}

const THardwareKind& Ch341aKindWithEmulation() {
    static const THardwareKind kind = [] {
        THardwareKind k = Ch341aKind;
        k.NewInstance = NewCh341aDriver;
        return k;
    }();
    return kind;
}
