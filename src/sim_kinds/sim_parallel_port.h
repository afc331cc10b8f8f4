// A printer port with the simulated programmer unit plugged in, as the
// parallel driver's port: the port object (TVicLPT) over simulated I/O
// (TSimLptIo) with a printer port model of a chosen kind, its connector wired
// by TSimLptCable to the unit's pin link. The unit and its chip socket live
// as long as the port, like a bench setup; the driver of the simulated
// parallel kind puts the chip in.
//
// The port is found through the firmware's table (discovery finds nothing
// unless a discovery root is given). Time runs on the unit's virtual clock:
// one I/O access is one microsecond, pauses move the clock.
//
// The port object reaches the port either directly at its registers, or
// through the ppdev backend over the kernel's ppdev driver simulated
// (TSimPpdevCalls, device /dev/parport0), as a program without root does.
//
// NORVOISP_LPT_SIM selects it for "Norvo ISP (LPT)": "1" or "ecp" (an ECP
// port at 0x378), "epp", "ps2", "spp" (at 0x378), "3bc" (the three-register
// port at 0x3BC) or "ppdev" (the ECP port at 0x378 through ppdev); unset,
// empty or "0": the computer's own printer port.
#pragma once

#include "pin_link.h"
#include "ports/sim_lpt_io.h"
#include "ports/sim_ppdev_calls.h"
#include "programmer/unit/vic_lpt_port.h"
#include "sim_kinds/sim_lpt_cable.h"
#include "unit.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TSimLptSetup {
    TSimLptKind Kind = TSimLptKind::Ecp;
    std::uint16_t Base = 0x378; // the port the unit is plugged into
    // Further ports with nothing plugged in.
    std::vector<std::pair<std::uint16_t, TSimLptKind>> OtherPorts;
    // The firmware's table; by default the unit's port, then the others.
    std::optional<std::array<std::uint16_t, 3>> BiosTable;
    bool BiosTableReadable = true;
    std::string DiscoveryRoot; // "" = no discovery
    TUnitConfig Unit;
    TPinLinkConfig Pins;
    TSimDuration IoTime = std::chrono::microseconds(1);
    // Through the ppdev backend: the unit's port is /dev/parport0 (the
    // other ports are not reachable that way).
    bool Ppdev = false;

    // The setup NORVOISP_LPT_SIM asks for; nullopt when it asks for none.
    // Raises EISPException naming the variable for a value it does not know.
    static std::optional<TSimLptSetup> FromEnvironment();
};

class TSimParallelPort : public TParallelPort {
  public:
    explicit TSimParallelPort(TSimLptSetup Setup = {});
    ~TSimParallelPort() override;

    int Active() const override { return FPort.Active(); }
    void SetActive(int Value) override { FPort.SetActive(Value); }
    void SetCurrentLPT(int Number) override { FPort.SetCurrentLPT(Number); }
    void SetCurrentLptMode(std::uint8_t Mode) override { FPort.SetCurrentLptMode(Mode); }
    int NumLPTs() const override { return FPort.NumLPTs(); }
    std::uint16_t BasePortAddress() const override { return FPort.BasePortAddress(); }
    bool Pin(int Number) override { return FPort.Pin(Number); }
    void SetPin(int Number, bool High) override { FPort.SetPin(Number, High); }

    TProgrammerUnit& Unit() { return FUnit; }
    TPinLink& Pins() { return FPins; }
    TSimLptCable& Cable() { return FCable; }
    // The simulated I/O bus the ports sit on (direct access goes through it).
    TSimLptIo& Io() { return *FIo; }
    // The simulated ppdev driver (with Setup.Ppdev).
    TSimPpdevCalls& PpdevCalls() { return FPpdev; }
    TVicLPT& Lpt() { return FPort.Lpt(); }
    // The unit's clock, as the driver's time base.
    TLinkClock& Clock() { return FClock; }
    const TSimLptSetup& Setup() const { return FSetup; }

  private:
    TSimLptSetup FSetup;
    TProgrammerUnit FUnit;
    TPinLink FPins;
    TSimLptCable FCable;
    TSimUnitClock FClock;
    TSimPpdevCalls FPpdev;
    std::unique_ptr<TSimLptIo> FBus; // the ports, when the port object reaches them through ppdev
    TSimLptIo* FIo;                  // owned by FPort's TVicLPT, or FBus
    TVicLptPort FPort;
};
