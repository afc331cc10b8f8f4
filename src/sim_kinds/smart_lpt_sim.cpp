#include "sim_kinds/smart_lpt_sim.h"

#include "errors/errors.h"

using SmartDongle::Port;

TSmartLptSim::TSmartLptSim() : TSmartLptSim(TSimOptions::FromEnvironment()) {}

TSmartLptSim::TSmartLptSim(TSimOptions Options) : FSocket(*this, std::move(Options)) {}

TSmartLptSim::~TSmartLptSim() {
    try {
        SaveImage();
    } catch (const Exception&) {
        // Nothing can be reported any more.
    }
    if (TProgrammerUnit* unit = SinkUnit()) unit->Transcript().SetSink(nullptr);
}

TSimParallelPort* TSmartLptSim::PortIfSimulated() {
    return dynamic_cast<TSimParallelPort*>(Port.get());
}

TProgrammerUnit* TSmartLptSim::SinkUnit() const {
    // Only while that unit is still the port's: the port may have been
    // replaced (and the unit freed) since the sink was put on.
    TSimParallelPort* port = PortIfSimulated();
    TProgrammerUnit* unit = FSocket.TranscriptUnit();
    return port && unit == &port->Unit() ? unit : nullptr;
}

TSimParallelPort& TSmartLptSim::SimPort() {
    ISPStartUp();
    TSimParallelPort* port = PortIfSimulated();
    if (!port) Fail("No simulated printer port: NORVOISP_LPT_SIM must be set when the program starts");
    FSocket.AttachTranscript(port->Unit());
    return *port;
}

TLinkClock& TSmartLptSim::Clock() {
    if (HasInjectedClock()) return TSmartParallel::Clock();
    if (TSimParallelPort* port = PortIfSimulated()) return port->Clock();
    return TSmartParallel::Clock();
}

std::string TSmartLptSim::ImageFile() const {
    return FSocket.ImageFile();
}

void TSmartLptSim::SaveImage() {
    if (TSimParallelPort* port = PortIfSimulated()) FSocket.SaveImage(port->Unit());
}

void TSmartLptSim::EnsureChip() {
    const TDevice& device = Dev();
    FSocket.EnsureChip(SimPort().Unit(), device);
}

void TSmartLptSim::ApplyOrganisation() {
    if (TSimParallelPort* port = PortIfSimulated()) FSocket.ApplyOrganisation(port->Unit());
}

void TSmartLptSim::SetProgmode(std::uint8_t value) {
    TSmartParallel::SetProgmode(value);
    ApplyOrganisation();
}

bool TSmartLptSim::HardwareOpen() {
    if (FDevice) EnsureChip();
    return TSmartParallel::HardwareOpen();
}

void TSmartLptSim::HardwareClose() {
    TSmartParallel::HardwareClose();
    SaveImage();
}

void TSmartLptSim::CheckISPMode() {
    EnsureChip();
    ApplyOrganisation();
    TSmartParallel::CheckISPMode();
}
