// The programmer unit as a bus master: every primitive is one of the unit's
// commands ("X", "x", "w", "r", "W", "R"), and reads are stored before the
// call returns. Commands are acknowledged at once, except on a serial unit
// that buffers them, whose acknowledgements may wait until Sync. The frame of an operation is
// the unit's family selection ("M" with recovery) and reset polarity ("P"),
// the write delay ("D") before I2C and SPI programming, and "%" ... "$".
// The unit waits the write delay itself after an I2C or SPI page; after a
// Microwire word the PC pauses 10 ms and has the unit wait for the chip's
// ready signal ("Z").
#pragma once

#include "programmer/algorithms/bus_master.h"

class TSmartParallel;

class TUnitBusMaster final : public TBusMaster {
  public:
    explicit TUnitBusMaster(TSmartParallel& Unit) : FUnit(Unit) {}

    void SelectBus(const TOperationParameters& Parameters, bool ResetPolarity) override;
    void BeginOperation(const TOperationParameters& Parameters, bool PagedWrites) override;
    void EndOperation() override;
    void Start() override;
    void Stop() override;
    void WriteByte(std::uint8_t Byte) override;
    void ReadByte(std::uint8_t& Into) override;
    void WritePage(std::span<const std::uint8_t> Bytes) override;
    void WriteBits(std::uint8_t Count, std::uint16_t Word) override;
    void ReadPage(std::span<std::uint8_t> Into) override;
    void WaitWriteCycle(TWriteCycle Cycle) override;
    void Sync() override;
    TLinkClock& Clock() override;
    int ReadBlockSize(int PageSize, int DeviceSize) const override;

  private:
    TSmartParallel& FUnit;
};
