// What the firmware reports: the identification and firmware version the
// program requires, and this board's own hardware version text.
#pragma once

namespace Version {

constexpr char kIdentification[] = "VORIZORUV";
constexpr char kFirmware[] = "000A";
// "A" for the Arduino board, "328" for its ATmega328P.
constexpr char kHardware[] = "A328";

} // namespace Version
