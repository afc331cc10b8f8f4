// The 24C family on the I2C bus: device select byte and word address, page
// programming and reading.
#include "programmer/algorithms/family_algorithms.h"

#include <algorithm>

std::uint8_t I2CSelect(const TDevice& Device, int BusNumber, int a) {
    const int size = Device.FlashSize();
    int select = 0xA0;
    select |= BusNumber << 1;
    if (size < 4096) select |= ((a >> 8) & 7) << 1; // address bits 8..10
    // Address bit 16 where the part's row puts it.
    if (const int bit = Device.A16SelectBit()) select |= ((a >> 16) & 1) << bit;
    return static_cast<std::uint8_t>(select);
}

std::string I2CWordAddress(const TDevice& Device, int a) {
    if (Device.FlashSize() < 4096) return std::string(1, static_cast<char>(a & 0xFF));
    return {static_cast<char>((a & 0xFFFF) >> 8), static_cast<char>(a & 0xFF)};
}

void TFamilyAlgorithms::I2CProgramFlash(THexList& Afile) {
    const int block = BlockSize();
    ProgramPages(Afile, [&](int a, std::span<const std::uint8_t> Page) {
        FBus.Start();
        FBus.WriteByte(I2CSelect(Dev(), FParams.BusNumber, a));
        for (char c : I2CWordAddress(Dev(), a))
            FBus.WriteByte(static_cast<std::uint8_t>(c));
        if (block > 1) {
            FBus.WritePage(Page); // the page write ends the transfer
        } else {
            FBus.WriteByte(Page[0]);
            FBus.Stop();
        }
    });
}

void TFamilyAlgorithms::I2CReadBuffer(std::vector<std::uint8_t>& Data, int From, int length) {
    // A page, or the longer block the whole-device read asked for.
    const int block = std::max(BlockSize(), length);
    const std::uint8_t select = I2CSelect(Dev(), FParams.BusNumber, From);
    FBus.Start();
    FBus.WriteByte(select);
    for (char c : I2CWordAddress(Dev(), From))
        FBus.WriteByte(static_cast<std::uint8_t>(c));
    FBus.Start(); // repeated start
    FBus.WriteByte(static_cast<std::uint8_t>(select | 1));
    std::vector<std::uint8_t> reply(static_cast<std::size_t>(block < 2 ? 1 : block));
    if (block < 2)
        FBus.ReadByte(reply[0]);
    else
        FBus.ReadPage(reply);
    FBus.Stop();
    FBus.Sync();
    StoreReply(Data, From, length, reply);
}
