// The operating system's serial devices: opening one by path and naming
// those present.
#pragma once

#include "ports/serial_line.h"

#include <memory>
#include <string>
#include <vector>

// Opens the device at Path (a link such as /dev/serial/by-id/... is
// followed) as the termios line every tty goes through. Raises EComError
// with the platform's reason when the device is missing, busy or not a
// terminal.
std::unique_ptr<TSerialLine> OpenSerialDevice(const std::string& Path);

// The serial devices present, in a stable order: the persistent
// /dev/serial/by-id name where the system has one, otherwise the device
// node; sorted by name with numbers compared by value (ttyS2 before ttyS10).
std::vector<std::string> EnumerateSerialDevices();
