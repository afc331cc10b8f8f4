// Module variables of the programmer drivers, shared by every hardware kind
// and qualified by the module's name (SmartDongle::PageSize) so that they
// never shadow a parameter elsewhere. The main window and the command line
// set them when a device is selected; the device panel may change PageSize.
#pragma once

#include <string>

namespace SmartDongle {
// Bytes per block of the read and program loops; the main window sets it to
// the device's page size, the device panel may change it.
extern int PageSize;
// Bus clock speed of the programmer unit, sent at open: 1 fast, 16 medium,
// 32 slow.
extern int ClockSpeed;
// The firmware version the programmer unit must report.
extern const std::string Softver;
} // namespace SmartDongle
