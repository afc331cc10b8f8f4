#include "programmer/smart_lpt_sim.h"

#include "chips/chip_factory.h"
#include "chips/eeprom_25c.h"
#include "chips/eeprom_93c.h"
#include "errors/errors.h"
#include "tools/image_file.h"

#include <filesystem>
#include <system_error>

using SmartDongle::Port;

TSmartLptSim::TSmartLptSim() : TSmartLptSim(TSimOptions::FromEnvironment()) {}

TSmartLptSim::TSmartLptSim(TSimOptions Options) : FOptions(std::move(Options)) {
    if (!FOptions.Transcript.empty()) {
        FTranscript.open(FOptions.Transcript, std::ios::app);
        if (!FTranscript)
            throw EISPException("Cannot write the transcript \"" + FOptions.Transcript + "\"", false, "");
    }
}

TSmartLptSim::~TSmartLptSim() {
    try {
        SaveImage();
    } catch (const Exception&) {
        // Nothing can be reported any more.
    }
    if (TProgrammerUnit* unit = SinkUnit()) unit->Transcript().SetSink(nullptr);
}

TProgrammerUnit* TSmartLptSim::SinkUnit() const {
    // Only while that unit is still the port's: the port may have been
    // replaced (and the unit freed) since the sink was put on.
    auto* port = dynamic_cast<TSimParallelPort*>(Port.get());
    return port && FSinkUnit == &port->Unit() ? FSinkUnit : nullptr;
}

TSimParallelPort& TSmartLptSim::SimPort() {
    ISPStartUp();
    auto* port = dynamic_cast<TSimParallelPort*>(Port.get());
    if (!port) Fail("No simulated printer port: NORVOISP_LPT_SIM must be set when the program starts");
    if (FTranscript.is_open() && FSinkUnit != &port->Unit()) {
        FSinkUnit = &port->Unit();
        FSinkUnit->Transcript().SetSink([this](const TExchange& e) {
            FTranscript << TTranscript::Format(e);
            FTranscript.flush();
        });
    }
    return *port;
}

TLinkClock& TSmartLptSim::Clock() {
    if (HasInjectedClock()) return TSmartParallel::Clock();
    if (auto* port = dynamic_cast<TSimParallelPort*>(Port.get())) return port->Clock();
    return TSmartParallel::Clock();
}

std::string TSmartLptSim::ImageFile() const {
    if (FOptions.Image.empty() || !FDevice) return {};
    std::error_code ec;
    if (std::filesystem::is_directory(FOptions.Image, ec))
        return (std::filesystem::path(FOptions.Image) / (FDevice->DeviceName() + ".bin")).string();
    return FOptions.Image;
}

void TSmartLptSim::SaveImage() {
    auto* port = dynamic_cast<TSimParallelPort*>(Port.get());
    if (!port || !port->Unit().Chip() || FChipImage.empty()) return;
    TSimChip& chip = *port->Unit().Chip();
    try {
        SaveImageFile(FChipImage, chip.Memory());
        // A 25C chip's non-volatile status bits (WPEN, BP1, BP0) go beside it.
        if (auto* spi = dynamic_cast<T25CChip*>(&chip))
            SaveImageFile(FChipImage + ".status", {static_cast<std::uint8_t>(spi->Status() & 0x8C)});
    } catch (const EISPException&) {
        throw;
    } catch (const Exception& e) {
        throw EISPException(e.Message(), false, HardwareName());
    }
}

void TSmartLptSim::EnsureChip() {
    const TDevice& device = Dev();
    TProgrammerUnit& unit = SimPort().Unit();
    if (unit.Chip() && unit.Chip()->Name() == device.DeviceName()) return;
    SaveImage();
    TChipOptions options;
    options.AddressPins = FOptions.AddressPins;
    options.Organisation = FOptions.Organisation ? FOptions.Organisation : (ProgMode() == 8 ? 8 : 16);
    std::unique_ptr<TSimChip> chip;
    const std::string image = ImageFile();
    try {
        chip = MakeChip(device.DeviceName(), options);
        if (!image.empty()) {
            LoadImageFile(image, chip->Memory());
            std::vector<std::uint8_t> status(1, 0);
            if (auto* spi = dynamic_cast<T25CChip*>(chip.get());
                spi && LoadImageFile(image + ".status", status))
                spi->SetNonVolatileStatus(status[0]);
        }
    } catch (const EISPException&) {
        throw;
    } catch (const Exception& e) {
        throw EISPException(e.Message(), false, HardwareName());
    }
    unit.InsertChip(std::move(chip));
    FChipImage = image;
}

void TSmartLptSim::ApplyOrganisation() {
    if (FOptions.Organisation) return;
    auto* port = dynamic_cast<TSimParallelPort*>(Port.get());
    if (!port) return;
    if (auto* chip = dynamic_cast<T93CChip*>(port->Unit().Chip()))
        chip->SetOrganisation(ProgMode() == 8 ? 8 : 16);
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
