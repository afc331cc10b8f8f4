// The time of the operation frame every command runs in: taken when the
// operation starts, added up when it ends, and shown on its completion line
// as minutes:seconds ("EEPROM: Programming Complete - 00:01"). Auto Program
// keeps adding its steps' seconds so that its last line carries the time
// of the whole run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// "MM:SS" for Seconds.
std::string ElapsedText(int Seconds);

class TOperationFrame {
  public:
    using TTickCount = std::function<std::int64_t()>;

    // Millisecond tick source; the steady clock unless one is set.
    void SetTickCount(TTickCount Tick) { FTick = std::move(Tick); }

    // The operation starts now.
    void Start();
    // It ends: its whole seconds are added to the time kept. Returns Text
    // with the time kept ("Text - 00:05"), or "" for an empty Text; then
    // the time kept starts again from 0 unless Accumulate.
    std::string End(const std::string& Text, bool Accumulate = false);
    // Seconds kept so far.
    int Optime() const { return FOptime; }

  private:
    std::int64_t Tick() const;

    TTickCount FTick;
    std::int64_t FOpstart = 0; // 0: not started
    int FOptime = 0;
};
