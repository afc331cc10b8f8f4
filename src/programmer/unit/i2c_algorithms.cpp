// The 24C family on the I2C bus: device select byte and word address, page
// programming and reading.
#include "programmer/driver_host.h"
#include "programmer/unit/smart_parallel.h"

#include <algorithm>

std::uint8_t TSmartParallel::I2CSelect(int a) const {
    const int size = Dev().FlashSize();
    int select = 0xA0;
    select |= HostBusNumber() << 1;
    if (size < 4096) select |= ((a >> 8) & 7) << 1; // address bits 8..10
    select |= (a & 0x10000) >> 15;                  // address bit 16
    return static_cast<std::uint8_t>(select);
}

std::string TSmartParallel::I2CWordAddress(int a) const {
    if (Dev().FlashSize() < 4096) return std::string(1, static_cast<char>(a & 0xFF));
    return {static_cast<char>((a & 0xFFFF) >> 8), static_cast<char>(a & 0xFF)};
}

void TSmartParallel::i2c_ProgramFlash(THexList& Afile) {
    CheckISPMode();
    Run(static_cast<std::uint8_t>(HostResetPolarity()));
    const int size = Dev().FlashSize();
    CheckBuffer(Afile);
    const int block = BlockSize();
    DoUpdateProgress(0, size);
    WriteString('D', Hex2(EEPROMTime));
    WriteString('%', "");
    for (int a = 0; a <= size - 1; a += block) {
        // The last block stops at the end of the device.
        const int count = std::min(block, size - a);
        Start();
        writebyte(I2CSelect(a));
        for (char c : I2CWordAddress(a))
            writebyte(static_cast<std::uint8_t>(c));
        if (block > 1) {
            // The unit's page command ends the transfer and waits the write delay.
            writepage(static_cast<std::uint8_t>(count),
                      std::string(Afile.HexData.begin() + a, Afile.HexData.begin() + a + count));
        } else {
            writebyte(Afile.HexData[static_cast<std::size_t>(a)]);
            Stop();
        }
        DoUpdateProgress(a, size);
    }
    WriteString('$', "");
}

void TSmartParallel::i2c_ReadBuffer(std::vector<std::uint8_t>& Data, char, int From, int length,
                                    std::uint8_t) {
    const int block = BlockSize();
    Start();
    writebyte(I2CSelect(From));
    for (char c : I2CWordAddress(From))
        writebyte(static_cast<std::uint8_t>(c));
    Start(); // repeated start
    writebyte(static_cast<std::uint8_t>(I2CSelect(From) | 1));
    std::string reply;
    if (block < 2) {
        reply.push_back(static_cast<char>(readbyte()));
        Stop();
    } else {
        reply = readpage(static_cast<std::uint8_t>(block));
        Stop();
    }
    StoreReply(Data, From, length, reply);
}
