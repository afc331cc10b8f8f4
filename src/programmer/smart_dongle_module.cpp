#include "programmer/smart_dongle.h"

#include "programmer/hardware_registry.h"
#include "programmer/parallel_port.h"
#include "programmer/smart_serial.h"
#include "programmer/smart_sim.h"

std::unique_ptr<TParallelPort> SmartDongle::Port;

using SmartDongle::Port;

namespace {

TParallelPortFactory& PortFactory() {
    static TParallelPortFactory factory;
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
    Registry.RegisterNewHardware(SimHardwareName, TProgrammerSupport{pk_eisp}, GetNewSmartSimPsi, false);
    ISPStartUp();
}
