#include "programmer/ch341a/ch341a_module.h"

#include "errors/errors.h"
#include "programmer/ch341a/ch341a_driver.h"
#include "programmer/hardware_registry.h"
#include "programmer/simulated/sim_ch341_bus.h"

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

} // namespace

bool Ch341SimulationRequested() {
    const char* v = std::getenv("NORVOISP_CH341_SIM");
    const std::string value = v ? v : "";
    if (value.empty() || value == "0") return false;
    if (value == "1") return true;
    throw EISPException("NORVOISP_CH341_SIM must be 1 (the emulated board) or 0 (it is \"" + value + "\")");
}

std::unique_ptr<TISPProgrammer> GetNewCh341aPsi() {
    bool simulated = false;
    try {
        simulated = Ch341SimulationRequested();
    } catch (const EISPException& e) {
        // Reported when the driver is opened, where the message is shown.
        return std::make_unique<TCh341A>(std::make_unique<TRefusedBus>(e.Message()));
    }
    if (!simulated) return std::make_unique<TCh341A>();
    auto driver = std::make_unique<TCh341A>(nullptr);
    driver->SetUsbBus(std::make_unique<TSimCh341Bus>(*driver, TSimOptions::FromEnvironment()));
    return driver;
}

void RegisterCh341aHardware(THardwareRegistry& Registry) {
    Registry.RegisterNewHardware(Ch341aHardwareName, TProgrammerSupport{pk_usb}, GetNewCh341aPsi, true);
}
