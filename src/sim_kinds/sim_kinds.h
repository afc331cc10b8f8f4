// The simulated hardware kinds, rows of the kind table like the kinds that
// drive hardware: the simulated unit in the process, and the environment
// switches that put two real kinds on simulated hardware, so that every path
// of the program runs without a programmer.
//   NORVOISP_LPT_SIM    "Norvo ISP (LPT)" on the simulated printer port
//                       (values: sim_parallel_port.h)
//   NORVOISP_CH341_SIM  "CH341A (USB)" on the emulated board when "1"
//                       (sim_ch341_bus.h)
// The chip in a simulated socket follows the NORVOISP_SIM_* variables
// (sim_chip_socket.h).
#pragma once

#include "programmer/hardware_kind.h"

#include <memory>

class TISPProgrammer;

// The serial driver talking to the simulated unit in-process: the program
// can be tried without hardware. Lists show it by its caption.
inline constexpr const char SimHardwareName[] = "Norvo ISP (SIM)";
inline constexpr const char SimHardwareCaption[] = "Simulated unit";

// "Norvo ISP (SIM)", visible, with its caption.
extern const THardwareKind SimKind;
std::unique_ptr<TISPProgrammer> GetNewSmartSimPsi();

// "Norvo ISP (LPT)" as the program offers it: TSmartLptSim when
// NORVOISP_LPT_SIM asks for the simulated printer port, which its start-up
// then installs as the module's port; otherwise the kind unchanged.
const THardwareKind& LptKindWithSimulation();
// "CH341A (USB)" as the program offers it: on the emulated board when
// NORVOISP_CH341_SIM=1; a value it does not know is reported when the
// driver opens.
const THardwareKind& Ch341aKindWithEmulation();

// True when NORVOISP_CH341_SIM asks for the emulated board ("1"); "" and
// "0" leave the computer's USB in place. Raises EISPException for other values.
bool Ch341SimulationRequested();
