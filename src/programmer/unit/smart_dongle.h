// The driver module of the programmer unit: the hardware kinds it registers
// and their factories.
#pragma once

#include <memory>

class TISPProgrammer;
class THardwareRegistry;

inline constexpr const char LptHardwareName[] = "Norvo ISP (LPT)";
inline constexpr const char ComHardwareName[] = "Norvo ISP (COM)";
// The serial driver talking to the simulated unit in-process: the program
// can be tried without hardware. Lists show it by its caption.
inline constexpr const char SimHardwareName[] = "Norvo ISP (SIM)";
inline constexpr const char SimHardwareCaption[] = "Simulated unit";

// TSmartParallel; TSmartLptSim when NORVOISP_LPT_SIM asks for the simulated
// printer port (sim_parallel_port.h).
std::unique_ptr<TISPProgrammer> GetNewSmartPsi();
std::unique_ptr<TISPProgrammer> GetNewSmartSerialPsi();
std::unique_ptr<TISPProgrammer> GetNewSmartSimPsi();

// Start-up of the module: clears the printer port object, registers "Norvo
// ISP (LPT)" (entry 0) and "Norvo ISP (COM)", both visible, and runs
// ISPStartUp. The process-wide registry calls it before its first use.
void RegisterSmartDongleHardware(THardwareRegistry& Registry);
// Registers "Norvo ISP (SIM)", visible, with its caption; the registry calls
// it after every kind that drives hardware.
void RegisterSimulatedUnitHardware(THardwareRegistry& Registry);
