// The 25C family on the SPI bus: instructions and addresses, page
// programming and reading, and the status register.
#include "programmer/algorithms/family_algorithms.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kWriteEnable = 0x06;
constexpr std::uint8_t kReadStatus = 0x05;
constexpr std::uint8_t kWriteStatus = 0x01;
constexpr std::uint8_t kWrite = 0x02;
constexpr std::uint8_t kRead = 0x03;

// The instruction and its address bytes for byte address a.
std::vector<std::uint8_t> SpiCommand(std::uint8_t Instruction, int a, int FlashSize) {
    const auto lo = static_cast<std::uint8_t>(a & 0xFF);
    if (FlashSize == 512) // address bit 8 travels in bit 3 of the instruction
        return {static_cast<std::uint8_t>(Instruction + ((a >> 8) & 1) * 8), lo};
    if (FlashSize < 512) return {Instruction, lo};
    return {Instruction, static_cast<std::uint8_t>((a & 0xFFFF) >> 8), lo};
}

} // namespace

void TFamilyAlgorithms::SpiProgramFlash(THexList& Afile) {
    const int size = Dev().FlashSize();
    ProgramPages(Afile, [&](int a, std::span<const std::uint8_t> Page) {
        FBus.Start();
        FBus.WriteByte(kWriteEnable);
        FBus.Stop();
        FBus.Start();
        for (std::uint8_t b : SpiCommand(kWrite, a, size))
            FBus.WriteByte(b);
        FBus.WritePage(Page);
        FBus.Stop();
    });
}

void TFamilyAlgorithms::SpiReadBuffer(std::vector<std::uint8_t>& Data, int From, int length) {
    const int size = Dev().FlashSize();
    // A page, or the longer block the whole-device read asked for.
    const int block = std::max(BlockSize(), length);
    FBus.Start();
    for (std::uint8_t b : SpiCommand(kRead, From, size))
        FBus.WriteByte(b);
    std::vector<std::uint8_t> reply(static_cast<std::size_t>(block));
    FBus.ReadPage(reply);
    FBus.Stop();
    FBus.Sync();
    StoreReply(Data, From, length, reply);
}

std::uint8_t TFamilyAlgorithms::ReadOptionByte() {
    if (Dev().ProgrammerId() == FAMILY_SPI_FLASH) return SpiFlash().ReadStatus().at(0);
    SelectBus(true);
    if (Dev().ProgrammerId() != FAMILY_25C) return 0;
    BeginOperation(false);
    FBus.Start();
    FBus.WriteByte(kReadStatus);
    std::uint8_t result = 0;
    FBus.ReadByte(result);
    FBus.EndOperation();
    FBus.Stop();
    FBus.Sync();
    return result;
}

void TFamilyAlgorithms::WriteOptionByte(std::uint8_t Option) {
    if (Dev().ProgrammerId() == FAMILY_SPI_FLASH)
        return SpiFlash().WriteStatus(std::span<const std::uint8_t>(&Option, 1));
    SelectBus(true);
    if (Dev().ProgrammerId() != FAMILY_25C) return;
    BeginOperation(false);
    FBus.Start();
    FBus.WriteByte(kWriteEnable);
    FBus.Stop();
    FBus.Start();
    FBus.WriteByte(kWriteStatus);
    FBus.WriteByte(Option);
    FBus.Stop();
    FBus.WaitWriteCycle(TWriteCycle::Status);
    FBus.EndOperation();
}
