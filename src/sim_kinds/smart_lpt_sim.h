// TSmartLptSim: "Norvo ISP (LPT)" when NORVOISP_LPT_SIM is set. The parallel
// driver unchanged (pin handshake, open, identification, bus sequences) on
// the simulated printer port (TSimParallelPort, the module's Port); all this
// class adds is the bench work a person would do: putting a chip of the
// selected device into the unit's socket, keeping its memory in an image
// file, and the unit's transcript. Time runs on the unit's virtual clock.
//
// That bench work is a TSimChipSocket shared with the serial simulated kind:
// the image, transcript, address pins and ORG pin are set up from the same
// environment variables (NORVOISP_SIM_IMAGE, NORVOISP_SIM_TRANSCRIPT,
// NORVOISP_SIM_BUS, NORVOISP_SIM_ORG; see sim_chip_socket.h).
#pragma once

#include "programmer/unit/smart_parallel.h"
#include "sim_kinds/sim_chip_socket.h"
#include "sim_kinds/sim_parallel_port.h"

#include <string>

class TSmartLptSim : public TSmartParallel {
  public:
    // Options from the environment.
    TSmartLptSim();
    explicit TSmartLptSim(TSimOptions Options);
    ~TSmartLptSim() override;

    void SetProgmode(std::uint8_t value) override;
    bool HardwareOpen() override;
    void HardwareClose() override;
    void CheckISPMode() override;
    // The simulated port's clock unless one is injected.
    TLinkClock& Clock() override;

    // The module's port as the simulated one; raises when it is another.
    TSimParallelPort& SimPort();
    // Puts a chip of the selected device in the socket unless one is there
    // (saving the memory of the chip it replaces).
    void EnsureChip();
    // Writes the chip's memory to its image file, if it has one.
    void SaveImage();
    // The image file of the selected device ("" without NORVOISP_SIM_IMAGE).
    std::string ImageFile() const;
    const TSimOptions& Options() const { return FSocket.Options(); }

  private:
    // The module's port if it is the simulated one, else nullptr.
    static TSimParallelPort* PortIfSimulated();
    void ApplyOrganisation();
    // The unit the transcript sink is on, if it is still the port's.
    TProgrammerUnit* SinkUnit() const;

    TSimChipSocket FSocket;
};
