// The USB-serial chip between the PC and an Arduino board: the line rate
// its baud-rate generator really produces when the PC asks for one, from
// each chip's datasheet (docs/wiring.md lists them). A rate the chip cannot
// make comes out as another rate, and the unit at the asked-for rate then
// sees garbled bytes (serial_character.h).
#pragma once

#include <cstdint>
#include <string>

enum class TUsbSerialChip : std::uint8_t {
    Exact,      // whatever is asked for (a test line)
    ATmega16U2, // Uno R3: 16 MHz USART with double speed, 2 MHz / (UBRR + 1)
    CH340,      // 12 MHz / divisor (2..256): 1 and 2 Mbaud exact
    FT232R,     // 3 MHz / (n + eighths), plus 3 and 2 Mbaud
    CP2102,     // a fixed table (AN205): 1 000 000 asked runs at 921 600, 2 Mbaud undefined
};

// The rate the chip runs at for Requested; 0 when it has none for it (every
// byte is garbled).
std::uint32_t ActualBaud(TUsbSerialChip Chip, std::uint32_t Requested);

// "16U2", "CH340", "FT232R", "CP2102" (any letter case); false for others.
bool ParseUsbSerialChip(const std::string& Name, TUsbSerialChip& Chip);
const char* UsbSerialChipName(TUsbSerialChip Chip);
