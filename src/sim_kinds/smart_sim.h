// TSmartSim, the hidden hardware kind "Norvo ISP (SIM)": the serial driver
// with its byte layer wired to a simulated programmer unit in the same
// process, holding a chip model of the selected device. Everything above the
// byte layer is the real serial driver; the unit, the chip and the line run
// on the link's virtual clock, so pauses and time-outs cost no real time.
// The chip in the unit's socket, its image file and the transcript file are
// kept by a TSimChipSocket, set up from the environment variables listed in
// sim_chip_socket.h (NORVOISP_SIM_BAUD sets this kind's line speed).
#pragma once

#include "byte_link.h"
#include "programmer/unit/smart_serial.h"
#include "sim_kinds/sim_chip_socket.h"
#include "sim_kinds/sim_serial_line.h"
#include "unit.h"

#include <string>

class TSmartSim : public TSmartSerial {
  public:
    // Options from the environment.
    TSmartSim();
    explicit TSmartSim(TSimOptions Options, TUnitConfig Unit = {});
    ~TSmartSim() override;

    void SetProgmode(std::uint8_t value) override;
    bool HardwareOpen() override;
    void HardwareClose() override;
    void CheckISPMode() override;
    void SaveSettings() override;
    TComPortTable PortTable() const override;
    TLinkClock& Clock() override;

    TProgrammerUnit& Unit() { return FUnit; }
    TByteLink& Link() { return FLink; }
    const TSimOptions& Options() const { return FSocket.Options(); }
    // The image file of the selected device ("" without NORVOISP_SIM_IMAGE).
    std::string ImageFile() const;
    // Puts a chip of the selected device in the unit's socket unless one is
    // there (saving the memory of the chip it replaces).
    void EnsureChip();
    // Writes the chip's memory to its image file, if it has one.
    void SaveImage();

  protected:
    std::unique_ptr<TComPort> NewPort() override;

  private:
    TSimChipSocket FSocket; // first: the link takes its line speed
    TProgrammerUnit FUnit;
    TByteLink FLink;
    TSimLinkClock FClock;
};
