// The printer port object (TVicLPT) as the parallel driver's port, and the
// printer port of this computer: TVicLPT over ppdev with /dev/port as the
// fall-back (TSystemLptIo), with discovery from /proc.
#pragma once

#include "ports/vic_lpt.h"
#include "programmer/unit/parallel_port.h"

#include <memory>

class TVicLptPort : public TParallelPort {
  public:
    explicit TVicLptPort(std::unique_ptr<TVicLPT> Lpt) : FLpt(std::move(Lpt)) {}

    int Active() const override { return FLpt->Active(); }
    void SetActive(int Value) override;
    std::string OpenAdvice() const override { return FLpt->OpenAdvice(); }
    // Raises EISPException for a slot outside 1..7 or one without a port.
    void SetCurrentLPT(int Number) override;
    void SetCurrentLptMode(std::uint8_t Mode) override { FLpt->SetCurrentLptMode(Mode); }
    int NumLPTs() const override { return FLpt->NumLPTs(); }
    std::uint16_t BasePortAddress() const override { return FLpt->BasePortAddress(); }
    bool Pin(int Number) override { return FLpt->Pin(Number); }
    void SetPin(int Number, bool High) override { FLpt->SetPin(Number, High); }

    TVicLPT& Lpt() { return *FLpt; }

  private:
    std::unique_ptr<TVicLPT> FLpt;
};

// The computer's own printer ports.
std::unique_ptr<TParallelPort> NewSystemParallelPort();
