// The printer port as the parallel driver uses it: open and close, slot and
// mode selection, the port list for the options dialog, and single pins of
// the 25-pin connector (true = high at the connector; the port layer undoes
// the hardware inversions). The printer-port access layer provides it and
// installs a factory; without one there is no printer port and opening the
// parallel kind fails with "LPT port not found or in use by another program".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// Modes of a printer port.
enum : std::uint8_t {
    LPT_NOT_PRESENT = 0,
    LPT_SPP_MODE = 1,
    LPT_PS2_MODE = 2,
    LPT_EPP_MODE = 3,
    LPT_FAST_CENTRONIX = 4,
    LPT_ECP_MODE = 5,
};

class TParallelPort {
  public:
    virtual ~TParallelPort() = default;
    // The instance number while open (1), 0 while closed.
    virtual int Active() const = 0;
    // 1 opens the port access, 0 closes it.
    virtual void SetActive(int Value) = 0;
    // Selects slot Number (1 = LPT1).
    virtual void SetCurrentLPT(int Number) = 0;
    virtual void SetCurrentLptMode(std::uint8_t Mode) = 0;
    // Printer port slots in use.
    virtual int NumLPTs() const = 0;
    virtual std::uint16_t BasePortAddress() const = 0;
    // One pin, 1..17; each call is one port access and takes effect at once.
    virtual bool Pin(int Number) = 0;
    virtual void SetPin(int Number, bool High) = 0;
};

using TParallelPortFactory = std::function<std::unique_ptr<TParallelPort>()>;

namespace SmartDongle {
// The one printer port object of the program (module variable `Port`);
// nullptr until ISPStartUp has created it from the installed factory.
extern std::unique_ptr<TParallelPort> Port;
} // namespace SmartDongle

// Installs the factory the printer-port layer offers (replacing any other).
void SetParallelPortFactory(TParallelPortFactory Factory);
// Creates Port from the factory unless it exists or no factory is installed.
void ISPStartUp();
// Closes and frees Port.
void ISPClose();
