// The 25C family on the SPI bus: instructions and addresses, page
// programming and reading, and the status register.
#include "programmer/driver_host.h"
#include "programmer/unit/smart_parallel.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kWriteEnable = 0x06;
constexpr std::uint8_t kReadStatus = 0x05;
constexpr std::uint8_t kWriteStatus = 0x01;
constexpr std::uint8_t kWrite = 0x02;
constexpr std::uint8_t kRead = 0x03;

// The instruction and its address bytes for byte address a.
std::string SpiCommand(std::uint8_t Instruction, int a, int FlashSize) {
    if (FlashSize == 512) // address bit 8 travels in bit 3 of the instruction
        return {static_cast<char>(Instruction + ((a >> 8) & 1) * 8), static_cast<char>(a & 0xFF)};
    if (FlashSize < 512) return {static_cast<char>(Instruction), static_cast<char>(a & 0xFF)};
    return {static_cast<char>(Instruction), static_cast<char>((a & 0xFFFF) >> 8),
            static_cast<char>(a & 0xFF)};
}

} // namespace

void TSmartParallel::spi_ProgramFlash(THexList& Afile) {
    CheckISPMode();
    Run(static_cast<std::uint8_t>(HostResetPolarity()));
    const int size = Dev().FlashSize();
    CheckBuffer(Afile);
    const int block = BlockSize();
    DoUpdateProgress(0, size);
    WriteString('D', Hex2(EEPROMTime));
    WriteString('%', "");
    for (int a = 0; a <= size - 1; a += block) {
        const int count = std::min(block, size - a);
        Start();
        writebyte(kWriteEnable);
        Stop();
        Start();
        for (char c : SpiCommand(kWrite, a, size))
            writebyte(static_cast<std::uint8_t>(c));
        writepage(static_cast<std::uint8_t>(count),
                  std::string(Afile.HexData.begin() + a, Afile.HexData.begin() + a + count));
        Stop();
        DoUpdateProgress(a, size);
    }
    WriteString('$', "");
}

void TSmartParallel::spi_ReadBuffer(std::vector<std::uint8_t>& Data, char, int From, int length,
                                    std::uint8_t) {
    const int size = Dev().FlashSize();
    const int block = BlockSize();
    Start();
    for (char c : SpiCommand(kRead, From, size))
        writebyte(static_cast<std::uint8_t>(c));
    const std::string reply = readpage(static_cast<std::uint8_t>(block));
    Stop();
    StoreReply(Data, From, length, reply);
}

std::uint8_t TSmartParallel::ReadOptionByte() {
    CheckISPMode();
    Run(static_cast<std::uint8_t>(HostResetPolarity()));
    if (Dev().ProgrammerId() != FAMILY_25C) return 0;
    WriteString('%', "");
    Start();
    writebyte(kReadStatus);
    const std::uint8_t result = readbyte();
    WriteString('$', "");
    Stop();
    return result;
}

void TSmartParallel::WriteOptionByte(std::uint8_t Option) {
    CheckISPMode();
    Run(static_cast<std::uint8_t>(HostResetPolarity()));
    if (Dev().ProgrammerId() != FAMILY_25C) return;
    WriteString('%', "");
    Start();
    writebyte(kWriteEnable);
    Stop();
    Start();
    writebyte(kWriteStatus);
    writebyte(Option);
    Stop();
    WriteString('$', "");
}
