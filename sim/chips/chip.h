// A serial EEPROM in the unit's target socket: its memory array, its write
// cycle timing and the bus it speaks. The family classes (24C, 25C, 93C)
// derive from it and implement the bus interface of their family.
#pragma once

#include "chips/bus.h"
#include "virtual_clock.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TSimChip {
  public:
    TSimChip(std::string Name, std::uint8_t Family, std::size_t Size, std::size_t PageSize,
             TSimDuration WriteTime);
    virtual ~TSimChip() = default;
    TSimChip(const TSimChip&) = delete;
    TSimChip& operator=(const TSimChip&) = delete;

    const std::string& Name() const { return FName; }
    // FAMILY_24C, FAMILY_25C or FAMILY_93C (catalogue/device.h).
    std::uint8_t Family() const { return FFamily; }
    std::size_t Size() const { return FMemory.size(); }
    std::size_t PageSize() const { return FPageSize; }

    // The array, erased (0xFF) when the chip is made. Tests and the image
    // file of the pty tool read and preset it directly.
    std::vector<std::uint8_t>& Memory() { return FMemory; }
    const std::vector<std::uint8_t>& Memory() const { return FMemory; }

    // Duration of one self-timed write cycle (page, byte, erase, status).
    TSimDuration WriteTime() const { return FWriteTime; }
    void SetWriteTime(TSimDuration Value) { FWriteTime = Value; }

    // True while a write cycle runs at the clock's present time.
    bool Busy() const { return Now() < FBusyUntil; }
    TSimTime BusyUntil() const { return FBusyUntil; }
    // Write cycles started since the chip was made.
    std::uint64_t WriteCycles() const { return FWriteCycles; }

    // The clock the write cycles are timed by; the unit attaches its own.
    // Without a clock the time stands at 0.
    void AttachClock(const TVirtualClock* Clock) { FClock = Clock; }

    // Power-on: volatile state (latches, bus state machines) back to its
    // reset values; the array and non-volatile bits are kept.
    virtual void PowerOn() = 0;

    // The bus interface of the chip's family; nullptr for the other two.
    virtual TI2CTarget* AsI2C() { return nullptr; }
    virtual TSpiTarget* AsSpi() { return nullptr; }
    virtual TMicrowireTarget* AsMicrowire() { return nullptr; }

  protected:
    TSimTime Now() const { return FClock ? FClock->Now() : TSimTime::zero(); }
    // Begins a write cycle of WriteTime() from now.
    void StartWriteCycle();

  private:
    std::string FName;
    std::uint8_t FFamily;
    std::size_t FPageSize;
    TSimDuration FWriteTime;
    std::vector<std::uint8_t> FMemory;
    const TVirtualClock* FClock = nullptr;
    TSimTime FBusyUntil{0};
    std::uint64_t FWriteCycles = 0;
};
