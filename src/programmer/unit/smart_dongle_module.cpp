#include "programmer/unit/smart_dongle.h"

#include "errors/errors.h"
#include "programmer/hardware_registry.h"
#include "programmer/simulated/sim_parallel_port.h"
#include "programmer/simulated/smart_lpt_sim.h"
#include "programmer/simulated/smart_sim.h"
#include "programmer/unit/parallel_port.h"
#include "programmer/unit/smart_serial.h"
#include "programmer/unit/vic_lpt_port.h"

std::unique_ptr<TParallelPort> SmartDongle::Port;

using SmartDongle::Port;

namespace {

// The computer's printer ports, or the simulated one NORVOISP_LPT_SIM asks
// for. A value it does not know leaves the computer's ports in place; the
// driver reports it when it is created.
std::unique_ptr<TParallelPort> DefaultParallelPort() {
    std::optional<TSimLptSetup> setup;
    try {
        setup = TSimLptSetup::FromEnvironment();
    } catch (const EISPException&) {
    }
    if (setup) return std::make_unique<TSimParallelPort>(std::move(*setup));
    return NewSystemParallelPort();
}

TParallelPortFactory& PortFactory() {
    static TParallelPortFactory factory = DefaultParallelPort;
    return factory;
}

} // namespace

void SetParallelPortFactory(TParallelPortFactory Factory) {
    PortFactory() = std::move(Factory);
}

void ISPStartUp() {
    if (!Port && PortFactory()) Port = PortFactory()();
}

void ISPClose() {
    if (!Port) return;
    Port->SetActive(0);
    Port.reset();
}

std::unique_ptr<TISPProgrammer> GetNewSmartPsi() {
    if (TSimLptSetup::FromEnvironment()) return std::make_unique<TSmartLptSim>();
    return std::make_unique<TSmartParallel>();
}

std::unique_ptr<TISPProgrammer> GetNewSmartSerialPsi() {
    return std::make_unique<TSmartSerial>();
}

std::unique_ptr<TISPProgrammer> GetNewSmartSimPsi() {
    return std::make_unique<TSmartSim>();
}

void RegisterSmartDongleHardware(THardwareRegistry& Registry) {
    Port.reset();
    Registry.RegisterNewHardware(LptHardwareName, TProgrammerSupport{pk_eisp}, GetNewSmartPsi, true);
    Registry.RegisterNewHardware(ComHardwareName, TProgrammerSupport{pk_eisp}, GetNewSmartSerialPsi, true);
    ISPStartUp();
}

void RegisterSimulatedUnitHardware(THardwareRegistry& Registry) {
    Registry.RegisterNewHardware(SimHardwareName, TProgrammerSupport{pk_eisp}, GetNewSmartSimPsi, true,
                                 SimHardwareCaption);
}
