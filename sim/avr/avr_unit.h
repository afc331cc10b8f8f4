// The programmer unit built from an Arduino board: the firmware on the
// simulated ATmega328P, the chip in the socket wired to the MCU's pins as
// firmware/board.h lays them out (I2C on A4/A5, open drain with pull-ups;
// SPI and Microwire on D10-D13; WP on D8, /HOLD on D9; the 93C ORG pin on a
// jumper; the target reset output on D7), and the USB-serial adapter's DTR
// line with the board's auto-reset capacitor and bootloader.
#pragma once

#include "avr/avr_mcu.h"
#include "chips/chip.h"
#include "core/interpreter_host.h"
#include "pins/i2c_pins.h"
#include "pins/microwire_pins.h"
#include "pins/spi_pins.h"
#include "virtual_clock.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

struct TAvrUnitConfig {
    std::string Firmware; // the firmware's ELF file
    // A stock board: asserting DTR resets the MCU through the auto-reset
    // capacitor, and the bootloader then listens for BootloaderTime, eating
    // whatever arrives, before the firmware starts.
    bool AutoReset = false;
    TSimDuration BootloaderTime = std::chrono::seconds(1);
};

class TAvrUnit {
  public:
    explicit TAvrUnit(TAvrUnitConfig Config);
    ~TAvrUnit();
    TAvrUnit(const TAvrUnit&) = delete;
    TAvrUnit& operator=(const TAvrUnit&) = delete;

    // Puts a chip in the socket (nullptr empties it); returns the one that
    // was there. The chip's write cycles run on the MCU's time.
    std::unique_ptr<TSimChip> InsertChip(std::unique_ptr<TSimChip> Chip);
    TSimChip* Chip() const { return FChip.get(); }

    TAvrMcu& Mcu() { return FMcu; }
    const TAvrUnitConfig& Config() const { return FConfig; }

    // The adapter's DTR line, at the MCU's present time.
    void SetDTR(bool Set);
    bool DTR() const { return FDTR; }

    // The level the unit puts on the target board's reset line (D7).
    TTargetReset TargetReset() const;

    // Fits or removes the I2C pull-up resistors (removed: the lines read low).
    void SetI2CPullUps(bool Present);

    // The pin-level wiring of each bus, with its timing record.
    TI2CPins& I2CPins() { return FI2C; }
    TSpiPins& SpiPins() { return FSpi; }
    TMicrowirePins& MicrowirePins() { return FMicrowire; }
    // Every timing breach and wiring fault recorded so far, all buses.
    std::vector<std::string> Breaches();
    void ClearBreaches();
    TPinTimingLog& WiringLog() { return FWiring; }

  private:
    void PortChanged(char Port);
    void PinRead(char Port);
    void Sync();
    void WirePortB();
    void WirePortC();
    void WakeForStatus();

    TAvrUnitConfig FConfig;
    TAvrMcu FMcu;
    TVirtualClock FChipClock;
    std::unique_ptr<TSimChip> FChip;
    TI2CPins FI2C;
    TSpiPins FSpi;
    TMicrowirePins FMicrowire;
    TPinTimingLog FWiring;
    bool FDTR = false;
};
