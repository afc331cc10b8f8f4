// The 93C family on the Microwire bus: command geometry per device and
// organisation, word-by-word programming (ending write-disabled), page
// reading and erase-all.
#include "programmer/algorithms/family_algorithms.h"

namespace {

struct TMicrowireGeometry {
    const char* Name;
    std::uint8_t X8Bits;
    std::uint8_t X16Bits;
};

// Command length in bits (start bit, two opcode bits, address) per device.
constexpr TMicrowireGeometry kGeometry[] = {
    {"93C06", 10, 9},  {"93C46", 10, 9},  {"93C56", 12, 11}, {"93C66", 12, 11},
    {"93C57", 11, 10}, {"93C76", 14, 13}, {"93C86", 14, 13},
};

// Command words: start bit and opcode in the top three bits, the address
// right after them; only the first command-length bits reach the device.
constexpr std::uint16_t kRead = 0xC000;
constexpr std::uint16_t kWrite = 0xA000;
constexpr std::uint16_t kWriteEnable = 0x9800;
constexpr std::uint16_t kEraseAll = 0x9000;
constexpr std::uint16_t kWriteDisable = 0x8000;

} // namespace

std::optional<std::uint8_t> MicrowireCommandBits(const TDevice* Device, std::uint8_t ProgMode) {
    if (!Device) return std::nullopt;
    for (const auto& g : kGeometry)
        if (Device->DeviceName() == g.Name) return ProgMode == 8 ? g.X8Bits : g.X16Bits;
    return std::nullopt;
}

std::uint8_t TFamilyAlgorithms::MwBits() const {
    const auto bits = MicrowireCommandBits(&Dev(), FParams.Organisation);
    if (!bits) Fail("No Microwire command geometry for " + Dev().DeviceName());
    return *bits;
}

void TFamilyAlgorithms::MwProgramFlash(THexList& Afile) {
    SelectBus(false); // no reset polarity for Microwire programming
    TDevice& dev = Dev();
    const int size = dev.FlashSize();
    CheckBuffer(Afile);
    const int page = dev.PageSize();
    if (page < 1) Fail("Invalid page size " + std::to_string(page));
    const std::uint8_t bits = MwBits();
    const int shift = 16 - bits;
    const bool x8 = FParams.Organisation == 8;
    const int transfers = x8 ? page : (page - 1) / 2 + 1;
    FDriver.DoUpdateProgress(0, size);
    BeginOperation(false);
    FBus.Start();
    FBus.WriteBits(bits, kWriteEnable);
    FBus.Stop();
    for (int p = 0; p <= size - 1; p += page) {
        for (int k = 0; k < transfers; ++k) {
            FBus.Start();
            const int address = x8 ? p + k : p / 2 + k;
            FBus.WriteBits(bits, static_cast<std::uint16_t>(kWrite | ((address << shift) & 0xFFFF)));
            if (x8) {
                FBus.WriteByte(Afile.HexData.at(static_cast<std::size_t>(p + k)));
            } else {
                FBus.WriteByte(Afile.HexData.at(static_cast<std::size_t>(p + 2 * k + 1)));
                FBus.WriteByte(Afile.HexData.at(static_cast<std::size_t>(p + 2 * k)));
            }
            FBus.Stop();
            FBus.WaitWriteCycle(TWriteCycle::Word);
        }
        FDriver.DoUpdateProgress(p, size);
    }
    // The chip keeps its write-enable latch until power-off: it is
    // disabled again, as after an erase, so that nothing can write it later.
    FBus.Start();
    FBus.WriteBits(bits, kWriteDisable);
    FBus.Stop();
    FBus.EndOperation();
}

void TFamilyAlgorithms::MwReadBuffer(std::vector<std::uint8_t>& Data, int From) {
    const int page = Dev().PageSize();
    const std::uint8_t bits = MwBits();
    const int shift = 16 - bits;
    const bool x8 = FParams.Organisation == 8;
    const int transfers = x8 ? page : (page - 1) / 2 + 1;
    for (int i = 0; i < transfers; ++i) {
        FBus.Start();
        const int address = x8 ? From + i : From / 2 + i;
        FBus.WriteBits(bits, static_cast<std::uint16_t>(kRead | ((address << shift) & 0xFFFF)));
        if (x8) {
            FBus.ReadByte(Data.at(static_cast<std::size_t>(From + i)));
        } else {
            FBus.ReadByte(Data.at(static_cast<std::size_t>(From + 2 * i + 1)));
            FBus.ReadByte(Data.at(static_cast<std::size_t>(From + 2 * i)));
        }
        FBus.Stop();
    }
    FBus.Sync();
}

void TFamilyAlgorithms::MwEraseDevice() {
    const std::uint8_t bits = MwBits();
    BeginOperation(false);
    FBus.Start();
    FBus.WriteBits(bits, kWriteEnable);
    FBus.Stop();
    FBus.Start();
    FBus.WriteBits(bits, kEraseAll);
    FBus.Stop();
    FBus.WaitWriteCycle(TWriteCycle::EraseAll);
    FBus.Start();
    FBus.WriteBits(bits, kWriteDisable);
    FBus.Stop();
    FBus.EndOperation();
}
