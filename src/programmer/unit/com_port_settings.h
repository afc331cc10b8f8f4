// The serial port table ("COM<n>" = device path) kept in the settings store,
// global scope, section "COMPORTS", one value per port: e.g. COM3 =
// /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0.
#pragma once

#include "ports/com_port_table.h"

class TISPSettings;

inline constexpr const char ComPortsSection[] = "COMPORTS";

// The table as stored (empty without a store).
TComPortTable LoadComPortTable(const TISPSettings* Settings);
// Writes every entry of the table into the section.
void SaveComPortTable(TISPSettings* Settings, const TComPortTable& Table);
