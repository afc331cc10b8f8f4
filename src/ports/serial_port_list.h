// The serial ports of this computer and what they are, through libserialport:
// the device node, its persistent /dev/serial/by-id name, and for a USB
// adapter its vendor and product ids, strings, serial number and place on
// the bus, so that an operator can tell two adapters apart. Opening a port
// is not done here (serial_device.h).
#pragma once

#include <string>
#include <vector>

struct TSerialPortInfo {
    std::string Path;        // the device node, e.g. /dev/ttyUSB0
    std::string ById;        // its /dev/serial/by-id link; empty when it has none
    std::string Description; // libserialport's one-line description
    std::string Transport;   // "USB", "Bluetooth" or "native"
    int Vid = -1, Pid = -1;  // USB ids, -1 when not USB
    std::string Manufacturer, Product, SerialNumber;
    int Bus = -1, Address = -1; // USB bus number and device address
    std::string BluetoothAddress;

    // The name a port table should keep: the by-id link where there is one
    // (it names the same adapter whatever node number the kernel gives it).
    const std::string& Name() const { return ById.empty() ? Path : ById; }
};

// The ports the system lists, sorted by Name() with numbers compared by value.
std::vector<TSerialPortInfo> ListSerialPorts();

// One line for the operator, e.g.
//   "FT232R USB UART (FTDI), USB 0403:6001, serial A50285BI, bus 1 address 4"
//   "ttyS0, native"
std::string DescribeSerialPort(const TSerialPortInfo& Port);

// The entry of Ports for the device at Path (the node, a by-id link or any
// other link to it); nullptr when none is (a pseudo-terminal is not listed).
const TSerialPortInfo* FindSerialPort(const std::vector<TSerialPortInfo>& Ports, const std::string& Path);

// Name order with embedded numbers compared by value (ttyS2 before ttyS10).
bool NaturalLess(const std::string& A, const std::string& B);

// The serial port library and the version running: "libserialport 0.1.1".
std::string SerialPortLibrary();
