#include "programmer/smart_sim.h"

#include "chips/chip_factory.h"
#include "chips/eeprom_25c.h"
#include "chips/eeprom_93c.h"
#include "errors/errors.h"
#include "tools/image_file.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string Env(const char* Name) {
    const char* v = std::getenv(Name);
    return v ? v : "";
}

long Number(const char* Name, long Lo, long Hi, long Default) {
    const std::string text = Env(Name);
    if (text.empty()) return Default;
    long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < Lo || value > Hi)
        throw EISPException(std::string(Name) + " must be a number from " + std::to_string(Lo) + " to " +
                                std::to_string(Hi) + " (it is \"" + text + "\")",
                            false, "");
    return value;
}

} // namespace

TSimOptions TSimOptions::FromEnvironment() {
    TSimOptions o;
    o.Image = Env("NORVOISP_SIM_IMAGE");
    o.Transcript = Env("NORVOISP_SIM_TRANSCRIPT");
    o.BaudRate = static_cast<std::uint32_t>(Number("NORVOISP_SIM_BAUD", 0, 4000000, 115200));
    o.AddressPins = static_cast<std::uint8_t>(Number("NORVOISP_SIM_BUS", 0, 7, 0));
    o.Organisation = static_cast<int>(Number("NORVOISP_SIM_ORG", 8, 16, 0));
    if (o.Organisation != 0 && o.Organisation != 8 && o.Organisation != 16)
        throw EISPException("NORVOISP_SIM_ORG must be 8 or 16", false, "");
    return o;
}

TSmartSim::TSmartSim() : TSmartSim(TSimOptions::FromEnvironment()) {}

TSmartSim::TSmartSim(TSimOptions Options, TUnitConfig Unit)
    : FOptions(std::move(Options)), FUnit(std::move(Unit)),
      FLink(FUnit, TByteLinkConfig{FOptions.BaudRate, 10}), FClock(FLink) {
    FUnit.Transcript().SetKeep(FOptions.KeepTranscript);
    if (!FOptions.Transcript.empty()) {
        FTranscript.open(FOptions.Transcript, std::ios::app);
        if (!FTranscript)
            throw EISPException("Cannot write the transcript \"" + FOptions.Transcript + "\"", false, "");
        FUnit.Transcript().SetSink([this](const TExchange& e) {
            FTranscript << TTranscript::Format(e);
            FTranscript.flush();
        });
    }
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
    if (FOptions.Image.empty() || !FDevice) return {};
    std::error_code ec;
    if (std::filesystem::is_directory(FOptions.Image, ec))
        return (std::filesystem::path(FOptions.Image) / (FDevice->DeviceName() + ".bin")).string();
    return FOptions.Image;
}

void TSmartSim::SaveImage() {
    if (!FUnit.Chip() || FChipImage.empty()) return;
    try {
        SaveImageFile(FChipImage, FUnit.Chip()->Memory());
        // A 25C chip's non-volatile status bits (WPEN, BP1, BP0) go beside it.
        if (auto* spi = dynamic_cast<T25CChip*>(FUnit.Chip()))
            SaveImageFile(FChipImage + ".status", {static_cast<std::uint8_t>(spi->Status() & 0x8C)});
    } catch (const EISPException&) {
        throw;
    } catch (const Exception& e) {
        throw EISPException(e.Message(), false, HardwareName());
    }
}

void TSmartSim::EnsureChip() {
    const TDevice& device = Dev();
    if (FUnit.Chip() && FUnit.Chip()->Name() == device.DeviceName()) return;
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
    FUnit.InsertChip(std::move(chip));
    FChipImage = image;
}

void TSmartSim::ApplyOrganisation() {
    if (FOptions.Organisation) return;
    if (auto* chip = dynamic_cast<T93CChip*>(FUnit.Chip())) chip->SetOrganisation(ProgMode() == 8 ? 8 : 16);
}

void TSmartSim::SetProgmode(std::uint8_t value) {
    TSmartSerial::SetProgmode(value);
    ApplyOrganisation();
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
    ApplyOrganisation();
    TSmartSerial::CheckISPMode();
}
