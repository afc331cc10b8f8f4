// The printer port as the parallel driver uses it: open and close, slot and
// mode selection, the port list for the options dialog, and single pins of
// the 25-pin connector (true = high at the connector; the port layer undoes
// the hardware inversions). The printer port object of the port layer
// provides it (vic_lpt_port.h). The module's factory makes the computer's
// printer port; the simulated kinds install theirs when NORVOISP_LPT_SIM
// asks for the simulated port (sim_kinds/sim_parallel_port.h), tests may
// install another, and with an empty one there is no port and opening the
// parallel kind fails with "LPT port not found or in use by another program".
#pragma once

#include "ports/lpt_modes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TParallelPort {
  public:
    virtual ~TParallelPort() = default;
    // The instance number while open (1), 0 while closed.
    virtual int Active() const = 0;
    // 1 opens the port access, 0 closes it.
    virtual void SetActive(int Value) = 0;
    // After an open that failed for want of permission, what the operator
    // can do about it; empty otherwise (and for ports without such advice).
    virtual std::string OpenAdvice() const { return {}; }
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
