// The parallel driver on a simulated printer port with the simulated unit
// plugged in: TSmartParallel -> TVicLPT -> simulated I/O -> printer port
// model -> cable -> pin link -> unit and chip, on the unit's virtual clock
// (one microsecond per port access). The port is the module's Port, as in
// the program.
#pragma once

#include "catalogue/device_list.h"
#include "programmer/unit/smart_parallel.h"
#include "settings/settings_store.h"
#include "sim_kinds/sim_parallel_port.h"
#include "sim_rig.h"

#include <string>
#include <vector>

// A clock that moves Step at every reading: a 10 s limit is reached after
// 10 s / Step polls whatever a poll costs.
class TStepClock : public TLinkClock {
  public:
    explicit TStepClock(TLinkDuration Step = std::chrono::milliseconds(1)) : FStep(Step) {}
    TLinkTime Now() override { return FNow += FStep; }
    void Sleep(TLinkDuration Time) override {
        if (Time > TLinkDuration::zero()) FNow += Time;
    }

  private:
    TLinkDuration FStep;
    TLinkTime FNow{0};
};

// What crossed the pins, taken from the port's access log: the MOSI level at
// every rising SCK edge and the MISO level the PC read last before every
// falling edge.
struct TWireView {
    std::vector<int> MosiAtRise;
    std::vector<int> MisoAtFall;
};
TWireView WireView(const std::vector<TSimLptIo::TAccess>& Log, std::uint16_t Base);

class TLptRig {
  public:
    // A chip of DeviceName (with the organisation for 93C parts) in the
    // unit's socket; the driver named "NORVO ISP (LPT)".
    explicit TLptRig(const std::string& DeviceName, TSimLptSetup Setup = {}, int Organisation = 16);
    ~TLptRig();
    TLptRig(const TLptRig&) = delete;
    TLptRig& operator=(const TLptRig&) = delete;

    // HardwareOpen, then the transcript and the access log are cleared.
    void Open();
    void Clear();
    // Commands the unit received since the last Open or Clear.
    std::vector<std::string> Commands() const { return CommandTexts(FPort->Unit().Transcript()); }

    TSimParallelPort& Port() { return *FPort; }
    TProgrammerUnit& Unit() { return FPort->Unit(); }
    TSimChip& Chip() { return *FPort->Unit().Chip(); }
    double Seconds() const { return FPort->Unit().Clock().Seconds(); }
    void FillBuffer(std::uint8_t (*Pattern)(std::uint32_t));

    TDevice* Device = nullptr;
    TISPSettings Settings;
    TFakeHost Host;
    TSmartParallel Driver;
    THexList Buffer;

  private:
    TSimParallelPort* FPort = nullptr;
};
