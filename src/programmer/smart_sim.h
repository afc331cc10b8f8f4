// TSmartSim, the hidden hardware kind "Norvo ISP (SIM)": the serial driver
// with its byte layer wired to a simulated programmer unit in the same
// process, holding a chip model of the selected device. Everything above the
// byte layer is the real serial driver; the unit, the chip and the line run
// on the link's virtual clock, so pauses and time-outs cost no real time.
//
// Set up from the environment:
//   NORVOISP_SIM_IMAGE       file that keeps the chip's memory between runs
//                            (loaded when the chip is inserted, saved when
//                            the driver closes); a folder keeps one file per
//                            device, "<folder>/<device name>.bin"; a 25C
//                            chip's status register bits go beside it
//                            ("<image>.status")
//   NORVOISP_SIM_TRANSCRIPT  file the unit's transcript is appended to
//   NORVOISP_SIM_BAUD        line speed, default 115200; 0 = no wire time
//   NORVOISP_SIM_BUS         the 24C chip's address pins A2..A0, 0..7 (default 0)
//   NORVOISP_SIM_ORG         the 93C chip's ORG pin, 8 or 16; by default it
//                            follows the organisation the driver is given
#pragma once

#include "byte_link.h"
#include "programmer/sim_serial_line.h"
#include "programmer/smart_serial.h"
#include "unit.h"

#include <fstream>
#include <string>

struct TSimOptions {
    std::string Image;
    std::string Transcript;
    std::uint32_t BaudRate = 115200;
    std::uint8_t AddressPins = 0;
    int Organisation = 0;        // 8 or 16; 0 = follows the driver
    bool KeepTranscript = false; // keep the exchanges in memory (tests)

    // Raises EISPException naming the variable for a bad value.
    static TSimOptions FromEnvironment();
};

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
    const TSimOptions& Options() const { return FOptions; }
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
    void ApplyOrganisation();

    TSimOptions FOptions;
    TProgrammerUnit FUnit;
    TByteLink FLink;
    TSimLinkClock FClock;
    std::string FChipImage; // image file of the chip in the socket
    std::ofstream FTranscript;
};
