// TSimChipSocket: the bench work around a simulated programmer unit that the
// two simulated hardware kinds share. It puts a chip of the selected device
// into the unit's socket, keeps the chip's memory in an image file (a 25C
// chip's non-volatile status bits beside it), lets a 93C chip's ORG pin follow
// the organisation the driver is given, and appends the unit's transcript to
// a file. The chip's holder is handed in on every call: the serial kind owns
// its unit, the printer-port kind borrows the simulated port's, which may be
// replaced, and the CH341A kind holds its emulated board. A holder has
// `TSimChip* Chip()` and `InsertChip(std::unique_ptr<TSimChip>)`.
//
// Set up from the environment:
//   NORVOISP_SIM_IMAGE       file that keeps the chip's memory between runs
//                            (loaded when the chip is inserted, saved when
//                            the driver closes); a folder keeps one file per
//                            device, "<folder>/<device name>.bin"; a 25C
//                            chip's status register bits go beside it
//                            ("<image>.status")
//   NORVOISP_SIM_TRANSCRIPT  file the unit's transcript is appended to
//   NORVOISP_SIM_BAUD        line speed of the serial kind, default 115200;
//                            0 = no wire time
//   NORVOISP_SIM_BUS         the 24C chip's address pins A2..A0, 0..7 (default 0)
//   NORVOISP_SIM_ORG         the 93C chip's ORG pin, 8 or 16; by default it
//                            follows the organisation the driver is given
//   NORVOISP_SIM_CHIP        the part in the socket, by catalogue name; by
//                            default the selected device (so a part other
//                            than the selected one can be detected)
//   NORVOISP_SIM_NOISE       SEED:RATE, a line that garbles the serial kind's
//                            replies at random (unit_config.h TReplyNoise):
//                            "7:0.01" garbles one reply byte in a hundred,
//                            the same ones for the same seed
#pragma once

#include "programmer/isp_programmer.h"
#include "unit.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

struct TSimOptions {
    std::string Image;
    std::string Transcript;
    std::uint32_t BaudRate = 115200;
    std::uint8_t AddressPins = 0;
    int Organisation = 0;        // 8 or 16; 0 = follows the driver
    std::string Chip;            // the part in the socket; "" = the selected device
    bool KeepTranscript = false; // keep the exchanges in memory (tests)
    std::optional<TReplyNoise> Noise;

    // Raises EISPException naming the variable for a bad value.
    static TSimOptions FromEnvironment();
};

class TSimChipSocket {
  public:
    // Driver is the simulated kind that holds the socket: its device, its
    // organisation and its hardware name (for the errors raised here).
    // Opens the transcript file for appending when the options name one;
    // raises EISPException when it cannot be written.
    TSimChipSocket(const TISPProgrammer& Driver, TSimOptions Options);
    TSimChipSocket(const TSimChipSocket&) = delete;
    TSimChipSocket& operator=(const TSimChipSocket&) = delete;

    const TSimOptions& Options() const { return FOptions; }
    // The image file of the driver's device ("" without an image option).
    std::string ImageFile() const;
    // Puts a chip of Device (or of the part the options name) in Holder's
    // socket unless one is there (saving the memory of the chip it replaces).
    template <class THolder> void EnsureChip(THolder& Holder, const TDevice& Device) {
        if (auto chip = NewChipFor(Holder.Chip(), Device)) Holder.InsertChip(std::move(chip));
    }
    // Writes the memory of Holder's chip to the image file it was loaded
    // from, if it has one.
    template <class THolder> void SaveImage(THolder& Holder) { SaveImageOf(Holder.Chip()); }
    // A 93C chip in Holder's socket takes the driver's organisation, unless
    // the options strap its ORG pin.
    template <class THolder> void ApplyOrganisation(THolder& Holder) { ApplyOrganisationTo(Holder.Chip()); }

    // The same for the chip itself: a new chip of Device (its image loaded)
    // when Current is not one, after saving Current's memory; nothing when
    // it is.
    std::unique_ptr<TSimChip> NewChipFor(TSimChip* Current, const TDevice& Device);
    void SaveImageOf(TSimChip* Chip);
    void ApplyOrganisationTo(TSimChip* Chip);

    // Puts the sink that appends to the transcript file on Unit, when the
    // options name a file and the sink is not on that unit already.
    void AttachTranscript(TProgrammerUnit& Unit);
    // The unit the transcript sink was last put on (nullptr before); it may
    // be gone since.
    TProgrammerUnit* TranscriptUnit() const { return FTranscriptUnit; }

  private:
    int DriverOrganisation() const;

    const TISPProgrammer& FDriver;
    TSimOptions FOptions;
    std::string FChipImage; // image file of the chip in the socket
    std::ofstream FTranscript;
    TProgrammerUnit* FTranscriptUnit = nullptr;
};
