#include "sim_kinds/smart_sim.h"

#include "errors/errors.h"

TSmartSim::TSmartSim() : TSmartSim(TSimOptions::FromEnvironment()) {}

TSmartSim::TSmartSim(TSimOptions Options, TUnitConfig Unit)
    : FSocket(*this, std::move(Options)), FUnit(std::move(Unit)),
      FLink(FUnit, TByteLinkConfig{FSocket.Options().BaudRate, 10}), FClock(FLink) {
    FUnit.Transcript().SetKeep(FSocket.Options().KeepTranscript);
    FSocket.AttachTranscript(FUnit);
    if (FSocket.Options().Noise) FUnit.Faults().ReplyNoise = *FSocket.Options().Noise;
}

TSmartSim::~TSmartSim() {
    // The port's line refers to the link, which goes before the base class.
    DeInitHardwareDriver();
    try {
        SaveImage();
    } catch (const Exception&) {
        // Nothing can be reported any more.
    }
    FUnit.Transcript().SetSink(nullptr);
}

std::unique_ptr<TComPort> TSmartSim::NewPort() {
    auto port = std::make_unique<TComPort>();
    port->SetLineFactory([this](const std::string&) { return std::make_unique<TSimSerialLine>(FLink); });
    return port;
}

TComPortTable TSmartSim::PortTable() const {
    TComPortTable table;
    table.Assign(ABasePort + 1, "(simulated unit)");
    return table;
}

void TSmartSim::SaveSettings() {
    // Only the driver's own values: the serial port table is not this kind's.
    TSmartParallel::SaveSettings();
}

TLinkClock& TSmartSim::Clock() {
    return HasInjectedClock() ? TSmartParallel::Clock() : FClock;
}

std::string TSmartSim::ImageFile() const {
    return FSocket.ImageFile();
}

void TSmartSim::SaveImage() {
    FSocket.SaveImage(FUnit);
}

void TSmartSim::EnsureChip() {
    FSocket.EnsureChip(FUnit, Dev());
}

void TSmartSim::SetProgmode(std::uint8_t value) {
    TSmartSerial::SetProgmode(value);
    FSocket.ApplyOrganisation(FUnit);
}

bool TSmartSim::HardwareOpen() {
    if (FDevice) EnsureChip();
    return TSmartSerial::HardwareOpen();
}

void TSmartSim::HardwareClose() {
    TSmartSerial::HardwareClose();
    SaveImage();
}

void TSmartSim::CheckISPMode() {
    EnsureChip();
    FSocket.ApplyOrganisation(FUnit);
    TSmartSerial::CheckISPMode();
}
