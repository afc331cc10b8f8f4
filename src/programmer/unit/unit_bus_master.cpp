#include "programmer/unit/unit_bus_master.h"

#include "buffer/hex_text.h"
#include "catalogue/device.h"
#include "programmer/operation_parameters.h"
#include "programmer/unit/smart_parallel.h"

#include <algorithm>

void TUnitBusMaster::SelectBus(const TOperationParameters& Parameters, bool ResetPolarity) {
    FUnit.CheckISPMode();
    if (ResetPolarity) FUnit.Run(Parameters.ResetPolarity);
}

void TUnitBusMaster::BeginOperation(const TOperationParameters& Parameters, bool PagedWrites) {
    // The unit waits this many milliseconds after each page or byte it writes.
    if (PagedWrites) FUnit.WriteString('D', IntToHex(Parameters.WriteCycleTime, 2));
    FUnit.WriteString('%', "");
}

void TUnitBusMaster::EndOperation() {
    FUnit.WriteString('$', "");
}

void TUnitBusMaster::Start() {
    FUnit.Start();
}

void TUnitBusMaster::Stop() {
    FUnit.Stop();
}

void TUnitBusMaster::WriteByte(std::uint8_t Byte) {
    FUnit.writebyte(Byte);
}

void TUnitBusMaster::ReadByte(std::uint8_t& Into) {
    Into = FUnit.readbyte();
}

void TUnitBusMaster::WritePage(std::span<const std::uint8_t> Bytes) {
    // The unit's page command also ends an I2C transfer and waits the write delay.
    FUnit.writepage(static_cast<std::uint8_t>(Bytes.size()), std::string(Bytes.begin(), Bytes.end()));
}

void TUnitBusMaster::WriteBits(std::uint8_t Count, std::uint16_t Word) {
    FUnit.writepage(Count, {static_cast<char>(Word >> 8), static_cast<char>(Word & 0xFF)});
}

void TUnitBusMaster::ReadPage(std::span<std::uint8_t> Into) {
    FUnit.ReadBlock(Into);
}

void TUnitBusMaster::WaitWriteCycle(TWriteCycle Cycle) {
    // I2C and SPI writes are timed by the unit's own write delay; before an
    // erase-all ends, the unit's next start waits for the chip to be ready.
    if (Cycle != TWriteCycle::Word) return;
    FUnit.Clock().Sleep(TSmartParallel::kMicrowireWriteSleep);
    FUnit.i2c_reset();
}

void TUnitBusMaster::Sync() {
    FUnit.SyncCommands();
}

TLinkClock& TUnitBusMaster::Clock() {
    return FUnit.Clock();
}

int TUnitBusMaster::ReadBlockSize(int PageSize, int DeviceSize) const {
    return FUnit.ReadBlockSize(PageSize, DeviceSize);
}
