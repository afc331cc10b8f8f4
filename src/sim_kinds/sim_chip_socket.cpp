#include "sim_kinds/sim_chip_socket.h"

#include "catalogue/device_list.h"
#include "chips/chip_factory.h"
#include "chips/eeprom_25c.h"
#include "chips/eeprom_93c.h"
#include "errors/errors.h"
#include "tools/image_file.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

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

// "SEED:RATE": a whole number and a fraction from 0 to 1.
TReplyNoise ReplyNoise(const std::string& Text) {
    TReplyNoise noise;
    const auto colon = Text.find(':');
    bool good = colon != std::string::npos && colon > 0 && colon + 1 < Text.size();
    if (good) {
        const auto seed = std::from_chars(Text.data(), Text.data() + colon, noise.Seed);
        const std::string rate = Text.substr(colon + 1);
        char* rateEnd = nullptr;
        noise.Rate = std::strtod(rate.c_str(), &rateEnd);
        good = seed.ec == std::errc() && seed.ptr == Text.data() + colon &&
               rateEnd == rate.c_str() + rate.size() && noise.Rate >= 0 && noise.Rate <= 1;
    }
    if (!good)
        throw EISPException(
            "NORVOISP_SIM_NOISE must be SEED:RATE, a whole number and a fraction from 0 to 1 (it "
            "is \"" +
                Text + "\")",
            false, "");
    return noise;
}

// Runs Work; a failure of the chip models or the image files leaves as an
// EISPException that names the hardware.
template <class TWork> void NamingTheHardware(const std::string& Hardware, TWork&& Work) {
    try {
        Work();
    } catch (const EISPException&) {
        throw;
    } catch (const Exception& e) {
        throw EISPException(e.Message(), false, Hardware);
    }
}

// The non-volatile bits of a 25C status register: WPEN, BP1, BP0.
constexpr std::uint8_t NonVolatileStatus = 0x8C;

} // namespace

TSimOptions TSimOptions::FromEnvironment() {
    TSimOptions o;
    o.Image = Env("NORVOISP_SIM_IMAGE");
    o.Transcript = Env("NORVOISP_SIM_TRANSCRIPT");
    o.BaudRate = static_cast<std::uint32_t>(Number("NORVOISP_SIM_BAUD", 0, 4000000, 115200));
    o.AddressPins = static_cast<std::uint8_t>(Number("NORVOISP_SIM_BUS", 0, 7, 0));
    o.Organisation = static_cast<int>(Number("NORVOISP_SIM_ORG", 8, 16, 0));
    o.Chip = Env("NORVOISP_SIM_CHIP");
    if (o.Organisation != 0 && o.Organisation != 8 && o.Organisation != 16)
        throw EISPException("NORVOISP_SIM_ORG must be 8 or 16", false, "");
    if (const std::string noise = Env("NORVOISP_SIM_NOISE"); !noise.empty()) o.Noise = ReplyNoise(noise);
    return o;
}

TSimChipSocket::TSimChipSocket(const TISPProgrammer& Driver, TSimOptions Options)
    : FDriver(Driver), FOptions(std::move(Options)) {
    if (!FOptions.Transcript.empty()) {
        FTranscript.open(FOptions.Transcript, std::ios::app);
        if (!FTranscript)
            throw EISPException("Cannot write the transcript \"" + FOptions.Transcript + "\"", false, "");
    }
}

int TSimChipSocket::DriverOrganisation() const {
    return FDriver.ProgMode() == 8 ? 8 : 16;
}

std::string TSimChipSocket::ImageFile() const {
    const TDevice* device = FDriver.Device();
    if (FOptions.Image.empty() || !device) return {};
    std::error_code ec;
    if (std::filesystem::is_directory(FOptions.Image, ec))
        return (std::filesystem::path(FOptions.Image) / (device->DeviceName() + ".bin")).string();
    return FOptions.Image;
}

void TSimChipSocket::SaveImageOf(TSimChip* chip) {
    if (!chip || FChipImage.empty()) return;
    NamingTheHardware(FDriver.HardwareName(), [&] {
        SaveImageFile(FChipImage, chip->Memory());
        if (auto* spi = dynamic_cast<T25CChip*>(chip))
            SaveImageFile(FChipImage + ".status",
                          {static_cast<std::uint8_t>(spi->Status() & NonVolatileStatus)});
    });
}

std::unique_ptr<TSimChip> TSimChipSocket::NewChipFor(TSimChip* Current, const TDevice& Device) {
    const std::string wanted = FOptions.Chip.empty() ? Device.DeviceName() : FOptions.Chip;
    if (Current && AsciiUpper(Current->Name()) == AsciiUpper(wanted)) return nullptr;
    SaveImageOf(Current);
    TChipOptions options;
    options.AddressPins = FOptions.AddressPins;
    options.Organisation = FOptions.Organisation ? FOptions.Organisation : DriverOrganisation();
    std::unique_ptr<TSimChip> chip;
    const std::string image = ImageFile();
    NamingTheHardware(FDriver.HardwareName(), [&] {
        chip = MakeChip(wanted, options);
        if (image.empty()) return;
        LoadImageFile(image, chip->Memory());
        std::vector<std::uint8_t> status(1, 0);
        if (auto* spi = dynamic_cast<T25CChip*>(chip.get()); spi && LoadImageFile(image + ".status", status))
            spi->SetNonVolatileStatus(status[0]);
    });
    FChipImage = image;
    return chip;
}

void TSimChipSocket::ApplyOrganisationTo(TSimChip* Chip) {
    if (FOptions.Organisation) return;
    if (auto* chip = dynamic_cast<T93CChip*>(Chip)) chip->SetOrganisation(DriverOrganisation());
}

void TSimChipSocket::AttachTranscript(TProgrammerUnit& Unit) {
    if (!FTranscript.is_open() || FTranscriptUnit == &Unit) return;
    FTranscriptUnit = &Unit;
    Unit.Transcript().SetSink([this](const TExchange& e) {
        FTranscript << TTranscript::Format(e);
        FTranscript.flush();
    });
}
