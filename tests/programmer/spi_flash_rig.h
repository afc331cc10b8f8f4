// An SPI flash part on a hardware kind, the same way for each: the
// simulated programmer unit in process (the serial driver on its virtual
// link) or the CH341A on its emulated board. The rig hands out the kind's
// bus master, its chip model and the flash algorithms' parameters.
#pragma once

#include "ch341a_rig.h"
#include "chips/spi_nor.h"
#include "programmer/algorithms/family_algorithms.h"
#include "sim_rig.h"

#include <memory>
#include <string>

enum class TFlashKind { Unit, Ch341a };

inline const char* KindName(TFlashKind Kind) {
    return Kind == TFlashKind::Unit ? "Unit" : "CH341A";
}

class TFlashRig {
  public:
    // Device: the part selected; Options.Chip may put another in the socket.
    TFlashRig(TFlashKind Kind, const std::string& Device, TSimOptions Options = {}) : FKind(Kind) {
        if (Kind == TFlashKind::Unit)
            FUnit = std::make_unique<TSimRig>(Device, TUnitConfig{}, Options);
        else
            FCh341 = std::make_unique<TCh341Rig>(Device, 16, Options);
        Driver().HardwareOpen();
        if (FCh341) FCh341->Bus->EnsureChip();
        Buffer.SetSizeof(static_cast<std::uint32_t>(Device_().FlashSize()));
    }

    TISPProgrammer& Driver() {
        return FUnit ? static_cast<TISPProgrammer&>(*FUnit->Driver)
                     : static_cast<TISPProgrammer&>(*FCh341->Driver);
    }
    TDevice& Device_() { return FUnit ? *FUnit->Device : *FCh341->Device; }
    TBusMaster& Bus() { return FUnit ? FUnit->Driver->Algorithms().Bus() : FCh341->Driver->Master(); }
    TFakeHost& Host() { return FUnit ? FUnit->Host : FCh341->Host; }
    // The chip in the socket (nullptr when there is none).
    TSpiNorChip* Chip() {
        TSimChip* chip = FUnit ? FUnit->Driver->Unit().Chip() : FCh341->Board().Chip();
        return dynamic_cast<TSpiNorChip*>(chip);
    }
    // Puts Chip in the socket; Options.Chip must name it, or the next
    // exchange replaces it by the selected part.
    void Insert(std::unique_ptr<TSimChip> Chip) {
        if (FUnit)
            FUnit->Driver->Unit().InsertChip(std::move(Chip));
        else
            FCh341->Board().InsertChip(std::move(Chip));
    }
    double Seconds() { return FUnit ? FUnit->Seconds() : FCh341->Seconds(); }
    TFlashKind Kind() const { return FKind; }
    TSimRig* Unit() { return FUnit.get(); }
    TCh341Rig* Ch341() { return FCh341.get(); }

    // The algorithms' parameters for Part (the selected one by default).
    TSpiFlashParameters Parameters(const TSpiFlashPart* Part = nullptr) {
        TSpiFlashParameters p;
        p.Part = Part ? Part : Device_().SpiFlash();
        p.Log = [this](const std::string& Line) { Log.push_back(Line); };
        p.HardwareName = Driver().HardwareName();
        return p;
    }
    std::string LogText() const {
        std::string all;
        for (const auto& l : Log)
            all += l + "\n";
        return all;
    }

    THexList Buffer;
    std::vector<std::string> Log;

  private:
    TFlashKind FKind;
    std::unique_ptr<TSimRig> FUnit;
    std::unique_ptr<TCh341Rig> FCh341;
};
