// Byte access to I/O ports at 16-bit addresses, as the printer port object
// needs it from the platform: open and close the access, read and write one
// port, the firmware's table of printer port addresses, a permission request
// for an address range, and exclusive use of the system's printer device.
//
// Implementations: TDevPortIo (Linux /dev/port) for real ports and
// TSimLptIo (simulated printer ports) for tests and the demonstration.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class TLptIo {
  public:
    virtual ~TLptIo() = default;

    // Opens the access (instance 1 or 2); false when the platform refuses.
    virtual bool Open(std::uint8_t Instance) = 0;
    // After a refused Open for want of permission: what the operator can do
    // about it, naming the device. Empty otherwise.
    virtual std::string OpenAdvice() const { return {}; }
    virtual void Close() = 0;
    // One byte in from / out to the port at Address. Only called while open.
    virtual std::uint8_t GetPort(std::uint16_t Address) = 0;
    virtual void SetPort(std::uint16_t Address, std::uint8_t Value) = 0;

    // The firmware's printer port base addresses LPT1..LPT3, when the
    // platform can read them; nullopt otherwise.
    virtual std::optional<std::array<std::uint16_t, 3>> BiosLptTable() { return std::nullopt; }
    // Asks for permission to use the ports First..Last (inclusive). A no-op
    // where opening already grants every port.
    virtual void RequestRange(std::uint16_t /*First*/, std::uint16_t /*Last*/) {}
    // Takes exclusive use of the system's printer device LPT<Number>; false
    // when another program holds it or there is none.
    virtual bool AcquirePrinter(int /*Number*/) { return false; }
    virtual void ReleasePrinter() {}
};
