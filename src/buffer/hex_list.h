// The in-memory image of a device: one data byte and one status per address.
#pragma once

#include "buffer/prog_status.h"

#include <cstdint>
#include <string>
#include <vector>

class THexList {
  public:
    THexList() = default;

    // The data; drivers and the binary loader use it directly, unchecked.
    std::vector<std::uint8_t> HexData;

    std::uint32_t Size() const { return static_cast<std::uint32_t>(HexData.size()); }
    // Resizes both arrays and clears them, also when the size is unchanged.
    void SetSizeof(std::uint32_t n);
    void SetSize(std::uint32_t n) { SetSizeof(n); }

    // Range-checked access; an index past the end raises EISPException.
    std::uint8_t GetValue(std::uint32_t Index) const;
    void SetValue(std::uint32_t Index, std::uint8_t Adata);
    TProgStatus GetStatus(std::uint32_t Index) const;
    void SetStatus(std::uint32_t Index, TProgStatus Status);
    std::uint8_t Data(std::uint32_t Index) const { return GetValue(Index); }
    TProgStatus Status(std::uint32_t Index) const { return GetStatus(Index); }

    // Unchecked status array, the same length as HexData.
    const std::vector<TProgStatus>& StatusArray() const { return HexStatus; }
    std::vector<TProgStatus>& StatusArray() { return HexStatus; }

    // Every byte 0xFF with status {ps_normal}.
    void Clear();
    // Every status {ps_failed}; the data stays.
    void InvalidateData();
    // Writes WithWhat from FillFrom to FillTo inclusive through SetValue;
    // stops with the range error at the first index past the end.
    void Fill(std::int64_t FillFrom, std::int64_t FillTo, std::uint8_t WithWhat);
    // Highest non-0xFF index OR 15 (end of its 16-byte row); -1 when none.
    std::int64_t LastUsedLocation() const;
    // Number of bytes up to and including the highest non-0xFF byte; 0 when none.
    std::int64_t LastActualLocation() const;

    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Name) { FFileName = Name; }

  private:
    std::string FFileName;
    std::vector<TProgStatus> HexStatus;
};
