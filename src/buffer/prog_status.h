// Per-byte status of the memory buffer, a one-byte bit set.
#pragma once

#include <cstdint>

enum TProgStatusKind : std::uint8_t {
    ps_normal = 0,
    ps_programmed = 1,
    ps_verified = 2,
    ps_failed = 3,
    ps_read = 4,
};

class TProgStatus {
  public:
    constexpr TProgStatus() = default;
    constexpr TProgStatus(TProgStatusKind k) : FBits(static_cast<std::uint8_t>(1u << k)) {}
    static constexpr TProgStatus FromByte(std::uint8_t b) {
        TProgStatus s;
        s.FBits = static_cast<std::uint8_t>(b & 0x1F);
        return s;
    }
    constexpr std::uint8_t AsByte() const { return FBits; }
    constexpr bool Contains(TProgStatusKind k) const { return (FBits >> k) & 1u; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TProgStatus operator|(TProgStatus o) const { return FromByte(FBits | o.FBits); }
    constexpr bool operator==(const TProgStatus&) const = default;

  private:
    std::uint8_t FBits = 0;
};
