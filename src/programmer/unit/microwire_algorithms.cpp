// The 93C family on the Microwire bus: command geometry per device and
// organisation, word-by-word programming, page reading and erase-all.
#include "programmer/driver_host.h"
#include "programmer/unit/smart_parallel.h"

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

const TMicrowireGeometry* Geometry(const TDevice* Device) {
    if (!Device) return nullptr;
    for (const auto& g : kGeometry)
        if (Device->DeviceName() == g.Name) return &g; // exact, case-sensitive
    return nullptr;
}

// A 16-bit command word, high byte first.
std::string Word(std::uint16_t w) {
    return {static_cast<char>(w >> 8), static_cast<char>(w & 0xFF)};
}

const std::string kWriteEnable("\x98\x00", 2);
const std::string kEraseAll("\x90\x00", 2);
const std::string kWriteDisable("\x80\x00", 2);

} // namespace

void TSmartParallel::GetBitSize() {
    if (const auto* g = Geometry(FDevice)) FBitSize = ProgMode() == 8 ? g->X8Bits : g->X16Bits;
}

void TSmartParallel::GetShiftLeft() {
    if (const auto* g = Geometry(FDevice))
        FSHiftLeft = static_cast<std::uint8_t>(16 - (ProgMode() == 8 ? g->X8Bits : g->X16Bits));
}

void TSmartParallel::mw_ProgramFlash(THexList& Afile) {
    CheckISPMode(); // no reset polarity for Microwire programming
    TDevice& dev = Dev();
    const int size = dev.FlashSize();
    CheckBuffer(Afile);
    const int page = dev.PageSize();
    if (page < 1) Fail("Invalid page size " + std::to_string(page));
    const bool x8 = ProgMode() == 8;
    const int transfers = x8 ? page : (page - 1) / 2 + 1;
    DoUpdateProgress(0, size);
    WriteString('%', "");
    Start();
    writepage(FBitSize, kWriteEnable);
    Stop();
    for (int p = 0; p <= size - 1; p += page) {
        for (int k = 0; k < transfers; ++k) {
            Start();
            const int address = x8 ? p + k : p / 2 + k;
            writepage(FBitSize,
                      Word(static_cast<std::uint16_t>(0xA000 | ((address << FSHiftLeft) & 0xFFFF))));
            if (x8) {
                writebyte(Afile.HexData.at(static_cast<std::size_t>(p + k)));
            } else {
                writebyte(Afile.HexData.at(static_cast<std::size_t>(p + 2 * k + 1)));
                writebyte(Afile.HexData.at(static_cast<std::size_t>(p + 2 * k)));
            }
            Stop();
            Clock().Sleep(kMicrowireWriteSleep);
            i2c_reset();
        }
        DoUpdateProgress(p, size);
    }
    WriteString('$', "");
}

void TSmartParallel::mw_ReadBuffer(std::vector<std::uint8_t>& Data, char, int From, int, std::uint8_t) {
    const int page = Dev().PageSize();
    const bool x8 = ProgMode() == 8;
    const int transfers = x8 ? page : (page - 1) / 2 + 1;
    for (int i = 0; i < transfers; ++i) {
        Start();
        const int address = x8 ? From + i : From / 2 + i;
        writepage(FBitSize, Word(static_cast<std::uint16_t>(0xC000 | ((address << FSHiftLeft) & 0xFFFF))));
        if (x8) {
            Data.at(static_cast<std::size_t>(From + i)) = readbyte();
        } else {
            Data.at(static_cast<std::size_t>(From + 2 * i + 1)) = readbyte();
            Data.at(static_cast<std::size_t>(From + 2 * i)) = readbyte();
        }
        Stop();
    }
}

void TSmartParallel::EraseDevice() {
    CheckISPMode();
    Run(static_cast<std::uint8_t>(HostResetPolarity()));
    TDevice& dev = Dev();
    if (dev.ProgrammerId() == FAMILY_93C) {
        WriteString('%', "");
        Start();
        writepage(FBitSize, kWriteEnable);
        Stop();
        Start();
        writepage(FBitSize, kEraseAll);
        Stop();
        Start();
        writepage(FBitSize, kWriteDisable);
        Stop();
        WriteString('$', "");
        return;
    }
    // I2C and SPI: program the whole device with 0xFF.
    THexList blank;
    blank.SetSizeof(static_cast<std::uint32_t>(std::max(dev.FlashSize(), 0)));
    blank.HexData.assign(blank.HexData.size(), 0xFF);
    ProgramFlash(blank);
}
