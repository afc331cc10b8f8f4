#include "session/operation_frame.h"

#include <chrono>

std::string ElapsedText(int Seconds) {
    const auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return two(Seconds / 60) + ":" + two(Seconds % 60);
}

std::int64_t TOperationFrame::Tick() const {
    if (FTick) return FTick();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TOperationFrame::Start() {
    FOpstart = Tick();
}

std::string TOperationFrame::End(const std::string& Text, bool Accumulate) {
    if (FOpstart != 0) {
        FOptime += static_cast<int>(static_cast<std::uint64_t>(Tick() - FOpstart) / 1000);
        FOpstart = 0;
    }
    const std::string line = Text.empty() ? std::string() : Text + " - " + ElapsedText(FOptime);
    if (!Accumulate) FOptime = 0;
    return line;
}
