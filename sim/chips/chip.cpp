#include "chips/chip.h"

TSimChip::TSimChip(std::string Name, std::uint8_t Family, std::size_t Size, std::size_t PageSize,
                   TSimDuration WriteTime)
    : FName(std::move(Name)), FFamily(Family), FPageSize(PageSize), FWriteTime(WriteTime),
      FMemory(Size, 0xFF) {}

void TSimChip::StartWriteCycle() {
    FBusyUntil = Now() + FWriteTime;
    ++FWriteCycles;
}
